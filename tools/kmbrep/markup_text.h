// Text put into SVG or HTML markup.
#ifndef KMBREP_MARKUP_TEXT_H
#define KMBREP_MARKUP_TEXT_H

#include <string>

namespace kmbrep {

// The text with <, >, & and " escaped and control characters left out, fit
// for element content and quoted attribute values.
std::string markupText(const std::string& text);

}  // namespace kmbrep

#endif
