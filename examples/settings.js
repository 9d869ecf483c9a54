// The settings job of settings.vbs in JScript: keeps the settings of
// "Example Editor" below HKEY_CURRENT_USER\Software\Halvex\ and switches its
// quiet hours (22:00 to 7:00) on a schedule.
//
//   cscript //nologo settings.js          use the current time
//   cscript //nologo settings.js 23       as if it were 23:00
//   cscript //nologo settings.js /reset   forget the settings
var App = "Example Editor";
var HKEY_CURRENT_USER = 0x80000001 | 0;  // the signed 32-bit value the library expects
var reg = new ActiveXObject("Tessary.xRegistry");
var arg = WScript.Arguments.length > 0 ? WScript.Arguments.Item(0) : "";

if (arg == "/reset") {
    reg.ClassKey = HKEY_CURRENT_USER;
    reg.SectionKey = "Software\\Halvex\\" + App;
    if (reg.KeyExists) reg.DeleteKey();
    WScript.Echo("The settings of " + App + " are gone.");
    WScript.Quit(0);
}

// A missing setting reads as its default; the settings are kept as text.
var fontName = reg.RegGet(App, "FontName", "Courier New");
var fontSize = parseInt(reg.RegGet(App, "FontSize", 10), 10);
var runs = parseInt(reg.RegGet(App, "Runs", 0), 10) + 1;
reg.RegSet(App, "FontName", fontName);
reg.RegSet(App, "FontSize", String(fontSize));
reg.RegSet(App, "Runs", String(runs));
WScript.Echo(App + ": " + fontName + " " + fontSize + " pt, run " + runs);

// The schedule, as a REG_DWORD that other programs read.
var atHour = arg != "" && !isNaN(arg) ? parseInt(arg, 10) : new Date().getHours();
var quiet = atHour >= 22 || atHour < 7 ? 1 : 0;
reg.RegSysSet("HKCU", "Software\\Halvex\\" + App, "QuietHours", quiet, "REG_DWORD");
var stored = reg.RegSysGet("HKCU", "Software\\Halvex\\" + App, "QuietHours", "REG_DWORD");
WScript.Echo("Quiet hours: " + (stored == 1 ? "on" : "off") + " (" + atHour + ":00)");
