// xApplication from JScript: arguments by value, a SAFEARRAY from a
// dictionary for ShellDelete, and no member ever raising an error.
var app = new ActiveXObject("Tessary.xApplication");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var nul = String.fromCharCode(0);
function makeFile(path) { var f = fso.CreateTextFile(path, true); f.Write("x"); f.Close(); }

try {
    checkEqual(app.StripNulls("ab" + nul + "cd"), "ab", "StripNulls");
    checkEqual(app.StripItem("a;b", ";"), "a", "StripItem");
    checkEqual(app.StripItem("a;b", ";;"), "a;b", "StripItem with a two-character parser");
    checkEqual(app.StripBlanks("  x  "), "x", "StripBlanks");
    checkEqual(app.StripTerminator("abc" + nul + "def"), "abc", "StripTerminator");
    checkEqual(app.PathName("D:\\dir\\file.txt", true), "D:\\dir\\", "PathName folder part");
    checkEqual(app.PathName("D:\\dir\\file.txt"), "file.txt", "PathName file part");
    checkEqual(app.FolderWindows.toLowerCase(), (fso.GetSpecialFolder(0).Path + "\\").toLowerCase(), "FolderWindows");
    var drives = app.DrivesAvailable;
    checkEqual(drives.substr(drives.length - 2), nul + nul, "DrivesAvailable ends in two NULs");
    checkEqual(app.winOS, "WinXP", "winOS");

    var folder = fso.GetSpecialFolder(2).Path + "\\tessary-js\\";
    if (fso.FolderExists(folder)) fso.DeleteFolder(folder.substr(0, folder.length - 1), true);
    fso.CreateFolder(folder);
    makeFile(folder + "a.txt");
    makeFile(folder + "b.txt");
    makeFile(folder + "c.txt");
    checkEqual(app.FileOrDirExists(folder + "A.TXT"), true, "FileOrDirExists");
    checkEqual(app.FileOrDirExists("", folder), true, "FileOrDirExists folder mode");
    checkEqual(app.ShellCopy(0, folder + "a.txt", folder + "copy.txt"), true, "ShellCopy");
    checkEqual(fso.FileExists(folder + "copy.txt"), true, "copied");

    var names = new ActiveXObject("Scripting.Dictionary");
    names.Add(folder + "a.txt", 0);
    names.Add(folder + "b.txt", 0);
    checkEqual(app.ShellDelete(0, false, names.Keys()), true, "ShellDelete of dictionary keys (0..1)");
    checkEqual(fso.FileExists(folder + "a.txt") || fso.FileExists(folder + "b.txt"), false, "both deleted");
    checkEqual(app.ShellDelete(0, false, [folder + "c.txt"]), false, "a JScript array is no array of names");
    checkEqual(fso.FileExists(folder + "c.txt"), true, "c.txt untouched");
    checkEqual(app.AlwaysOnTop(0, true), undefined, "AlwaysOnTop returns Empty");
    app.SendKey("");
    app.ShowMouse(true);
    fso.DeleteFolder(folder.substr(0, folder.length - 1), true);
} catch (e) {
    check(false, "error " + (e.number & 0xFFFF) + ": " + e.description);
}
summary();
