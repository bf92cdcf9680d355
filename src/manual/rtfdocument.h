#pragma once

#include "manual/rtfmodel.h"

class QTextDocument;

namespace pellix {

// Replaces the content of `target` with the paragraphs and styles of a read RTF document, for
// display in a text view. Fonts are asked for by name; the system substitutes missing ones.
void buildTextDocument(const rtf::Document& source, QTextDocument& target);

}  // namespace pellix
