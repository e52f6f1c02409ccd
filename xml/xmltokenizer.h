// The lenient XML tokenizer: flattens a document text into token lines ("OT:", "CT:", "ET:",
// "TX:", "CD:") and the text helpers it shares with the builder and the writer.
// It validates nothing, decodes no entities and must never read outside the text it is given.
#pragma once

#include <string>
#include <vector>

#include "text/workmeter.h"

namespace tavlo {

// Trims, turns every CR LF pair and every TAB into one blank, trims again.
std::string NormaliseXMLText(const std::string& text);

// CDATA values are kept with CR LF stored as "\n " and TAB as "\t " so that a value is one line.
std::string EncodeCDATA(const std::string& text);
std::string DecodeCDATA(const std::string& text);

// The token lines of a document text (lines already ended by CR LF); the meter steps per tag.
std::vector<std::string> TokenizeXML(const std::string& text, const TWorkMeter& meter = {});

// Splits a text into lines at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::string> SplitTextLines(const std::string& text);
// Joins lines, each followed by CR LF.
std::string JoinTextLines(const std::vector<std::string>& lines);
// JoinTextLines(SplitTextLines(text)) in one pass.
std::string NormaliseLineBreaks(const std::string& text);

}  // namespace tavlo
