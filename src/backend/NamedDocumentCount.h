#pragma once

// How many documents a job's CUPS option text names. cupsd adds "document-name-supplied=<name>"
// to the text once for each document that came with a name, so the option stands there several
// times, which cupsParseOptions (keeping the last) would fold into one. Banner pages and documents
// sent without a name are not counted. Plain function, any thread.

#include <QByteArray>

class NamedDocumentCount
{
public:
    static constexpr auto kOptionName = "document-name-supplied";

    static int of(const QByteArray &optionText);
};
