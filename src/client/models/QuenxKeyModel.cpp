#include "QuenxKeyModel.h"

#include "foundation/BaseTools.h"
#include "foundation/TextHelpers/Md5.h"

QuenxKeyModel QuenxKeyModel::getQuenxKey()
{
    return getQuenxKey(BaseTools::getCurrentTimes());
}

QuenxKeyModel QuenxKeyModel::getQuenxKey(const QString &timeText)
{
    QuenxKeyModel key;
    key.DalvemorKeys = Md5::MD5ForUpper32Bate(QLatin1String(kSalt) + timeText);
    key.date = timeText;
    return key;
}
