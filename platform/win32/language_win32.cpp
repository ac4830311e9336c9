#include <windows.h>

#include "platform/language.h"

namespace kestrin {

UiLanguage SystemUiLanguage() { return LanguageFromCodePage(GetACP()); }

}  // namespace kestrin
