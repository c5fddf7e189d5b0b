#pragma once

#include "common/Result.h"

#include <string>
#include <vector>

// The part of a store list (the app-store catalogue "Issue.xml") that a publisher signs: for every
// "app" element, in document order (depth-first, a parent before its children), the attributes an
// install or update acts on. The catalogue refresh rewrites the file locally (it sets "intro_url"
// and "price_desc", and the file is written again in its declared encoding and line breaks), so a
// signature over the file's bytes would break on every refresh; a signature over this text does
// not, and still covers everything that decides what is downloaded and run.
namespace qm {

// One "app" element's install-relevant attributes; a missing attribute reads as "".
struct TStoreEntry {
    std::string id;
    std::string url;
    std::string ver;
    std::string params;
    std::string name;
    std::string sha256;
};

// Every "app" element (name compared without regard to ASCII case) of the XML file, in document
// order, attribute values in UTF-8. A failure with the parser's message when the file cannot be read
// or parsed, or when it declares external content.
TResult<std::vector<TStoreEntry>> ReadStoreEntries(const std::string& file);

// The text that is signed: a header line, then per entry the line "app" and one line per attribute
// ("<name> <length in bytes> <value>", in the order of TStoreEntry), so that no value can run into
// the next one.
std::string StoreSignedText(const std::vector<TStoreEntry>& entries);

} // namespace qm
