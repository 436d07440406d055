// Languages of audio tracks as ISO 639 codes: the list a user types ("eng, fre" or "en fr")
// and the match against a stream's language tag, whichever of the code forms either side uses
// (639-1 "fr", 639-2/B "fre" as Matroska writes it, 639-2/T "fra" as MP4 does).
#pragma once

#include <string>
#include <vector>

// The languages of AText in their order, each once, as 639-2/B codes where the code is known
// ("en, FRA deu" gives eng, fre, ger); an unknown three-letter code is kept as typed, in
// lower case. Words that are no code (an unknown two-letter one, digits, other lengths) go to
// ARejected when given. Words are separated by commas, semicolons and blanks.
std::vector<std::string> LanguageCodes(const std::string &AText,
                                       std::vector<std::string> *ARejected = nullptr);

// The tags of ATags (one per stream) that name one of ACodes, ordered by ACodes and then by
// stream, each tag once. Only tags of letters are taken, so a tag can stand in an option
// string as it is.
std::vector<std::string> TagsOfLanguages(const std::vector<std::string> &ACodes,
                                         const std::vector<std::string> &ATags);
