// The library beside the platform's own scripting objects, given the same
// texts inside and outside the code page: what xRegistry stores WScript.Shell
// reads and the other way round; the files xApplication finds, copies and
// moves are the ones Scripting.FileSystemObject sees. (Only ASCII in this
// file: the script host reads it in the system code page. The other
// characters are made with escapes.)
var reg = new ActiveXObject("Tessary.xRegistry");
var app = new ActiveXObject("Tessary.xApplication");
var shell = new ActiveXObject("WScript.Shell");
var fso = new ActiveXObject("Scripting.FileSystemObject");

var texts = [
    ["latin1", "Caf\u00e9 cr\u00e8me"],
    ["polish", "Zo\u0142te \u017c\u00f3\u0142wie"],
    ["greek", "\u03a9mega"],
    ["japanese", "\u65e5\u672c\u8a9e"],
    ["emoji", "Smile \ud83d\ude00"],
    ["fullwidth separators", "up\uff3c..\uff0fout"]
];
var path = "Software\\TessaryTests\\UnicodeScript";
var full = "HKCU\\" + path + "\\";
var base = fso.GetSpecialFolder(2).Path + "\\tessary-unicode-js\\";

try {
    if (fso.FolderExists(base)) fso.DeleteFolder(base.substr(0, base.length - 1), true);
    fso.CreateFolder(base);
    fso.CreateFolder(base + "dst");
    for (var i = 0; i < texts.length; i++) {
        var label = texts[i][0], text = texts[i][1];

        reg.RegSysSet("HKCU", path, text, text, "REG_SZ");
        checkEqual(shell.RegRead(full + text), text, label + ": WScript.Shell reads what RegSysSet wrote");
        shell.RegWrite(full + "shell " + text, text + "!", "REG_SZ");
        checkEqual(reg.RegSysGet("HKCU", path, "shell " + text, "REG_SZ"), text + "!",
                   label + ": RegSysGet reads what WScript.Shell wrote");

        var file = base + text + ".txt";
        var stream = fso.CreateTextFile(file, true);
        stream.Write("x");
        stream.Close();
        checkEqual(app.FileOrDirExists(file), true, label + ": FileOrDirExists");
        checkEqual(app.ShellCopy(0, file, base + "dst\\"), true, label + ": ShellCopy");
        checkEqual(fso.FileExists(base + "dst\\" + text + ".txt"), true, label + ": copied under its name");
        checkEqual(app.ShellMove(0, file, base + "moved " + text + ".txt"), true, label + ": ShellMove");
        checkEqual(fso.FileExists(file), false, label + ": moved away");
        checkEqual(fso.FileExists(base + "moved " + text + ".txt"), true, label + ": moved under its name");

    }
    reg.ClassKey = -2147483647;  // HKEY_CURRENT_USER
    reg.SectionKey = path;
    checkEqual(reg.DeleteKey(), true, "the test key deleted");
    fso.DeleteFolder(base.substr(0, base.length - 1), true);
} catch (e) {
    check(false, "unexpected error " + e.number + ": " + e.description);
}
summary();
