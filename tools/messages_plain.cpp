// The tool's texts where the build has no gettext (Windows): English in every locale.
#include "messages.h"

namespace tidelin::tool {

void SetUpMessages() {}

const char* Tr(const char* text) { return text; }

}  // namespace tidelin::tool
