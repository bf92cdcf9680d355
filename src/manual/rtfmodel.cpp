#include "manual/rtfmodel.h"

namespace pellix::rtf {

const Font* Document::font(int number) const {
    for (const Font& f : fonts) {
        if (f.number == number) {
            return &f;
        }
    }
    return nullptr;
}

std::string Document::plainText() const {
    std::string out;
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) {
            out += '\n';
        }
        for (const Run& run : paragraphs[p].runs) {
            out += run.text;
        }
    }
    return out;
}

}  // namespace pellix::rtf
