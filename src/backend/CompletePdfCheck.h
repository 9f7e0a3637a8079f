#pragma once

// Decides whether a job's file may be handed to the monitor. The monitor takes a PDF as complete
// once its last 7 bytes are text holding the end marker "%%EOF", and drops any other after its
// wait without a word to anyone; so only a file it will take is let through, and the job of any
// other fails while CUPS can still say why.
//
// The file must start with "%PDF-" and meet the monitor's rule. A file that meets it as it stands
// is left unchanged. Where only blanks (PDF white space or NUL bytes, which some producers pad
// with) follow the last end marker, the file is cut after the marker and one line end, and then
// it meets the rule. Anything else is refused.
//
// Jobs can be large: the file is read through its descriptor in blocks, never as a whole, and
// only its ends are read unless it is refused. Plain functions, any thread; the cancel check is
// made before each block.

#include "DescriptorBytes.h"

#include "foundation/Error.h"

#include <QtGlobal>

#include <functional>

class CompletePdfCheck
{
public:
    static constexpr qint64 kBlockSize = DescriptorBytes::kBlockSize;
    // The domain of the errors that refuse the document itself; failing to read or cut the file
    // gives an error of the system's domain.
    static constexpr auto kRefusalDomain = "vqmprinter.document";

    // Checks the file open for reading and writing on the descriptor and cuts a blank tail. An
    // error of kRefusalDomain describes what is wrong with the document; a cancel ends the check
    // with DescriptorBytes::cancelled().
    static Result<Done> check(int descriptor, const std::function<bool()> &isCancelled);

    static bool isRefusal(const Error &error);
    // An error of kRefusalDomain giving the reason.
    static Error refusal(const QString &reason);
};
