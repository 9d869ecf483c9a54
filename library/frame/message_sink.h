// The one place that shows a message box.
//
// Unattended runs (tests, servers) set TESSARY_MESSAGE_LOG to a file name:
// each message is then appended there as one line
//     <style as decimal>\t<caption>\t<text>
// (UTF-8; a line break in the text is written as the two characters \n)
// and the call returns IDOK without showing anything.
#pragma once
#include <windows.h>
#include <string>

namespace tessary {

int ShowMessage(const std::wstring& text, UINT style, const std::wstring& caption);

}  // namespace tessary
