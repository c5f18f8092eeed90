// The tool's own texts in the user's language: English by default, Russian under a Russian
// locale (through gettext, where the build has it). The message-list entries, the engine's
// error descriptions and "Операция завершена." are not the tool's own: they are printed as
// they are in every locale.
#pragma once

#include <initializer_list>
#include <string>

namespace tidelin::tool {

// Takes the language from the environment (LC_ALL, LC_MESSAGES, LANG, LANGUAGE) and finds the
// catalogue: beside the program (../share/locale, in the build and in any installed prefix),
// else where it was installed. Only the language and the character set are taken from the
// locale, so numbers and paths are printed as they are.
void SetUpMessages();

// `text` in the user's language (`text` itself when there is no translation).
const char* Tr(const char* text);

// `text` translated, with each "%s" replaced by the next of `values`.
std::string Tr(const char* text, std::initializer_list<std::string> values);

}  // namespace tidelin::tool
