// The translators' template (example.lng): the texts of every window of the program, of
// every message and of every tip, in the language file's own form, built from the
// program itself so that it never misses a text.
#pragma once

#include <string>

namespace kh {

class App;

// Creates every window of the program hidden (their texts enter the language's default
// template as they are created) and returns the whole template file. `app` must have
// been created.
std::string languageTemplateFile(App& app);

} // namespace kh
