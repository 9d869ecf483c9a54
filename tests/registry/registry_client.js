// xRegistry from JScript: literals and variables for by-reference parameters,
// arrays readable through VBArray, and raised errors.
var r = new ActiveXObject("Tessary.xRegistry");
r.ClassKey = 0x80000001;
r.SectionKey = "Software\\TessaryTests\\JScript";
r.ValueType = 1;
r.ValueKey = "a";
r.Value = "text from JScript";
checkEqual(r.Value, "text from JScript", "Value round trip");
r.ValueKey = "b";
r.Value = "second";

var names, count;
checkEqual(r.EnumerateValues(names, count), true, "EnumerateValues with JScript variables");
checkEqual(r.RegGet("JS", "missing", 5), "5", "RegGet with literals");
var section = "JS", key = "stored", value = "v";
r.RegSet(section, key, value);
checkEqual(r.RegGet(section, key, "none"), "v", "RegSet then RegGet");
checkEqual(r.RegSysGet("HKCU", "Software\\Halvex\\JS", "stored", "REG_SZ"), "v", "RegSysGet");
checkEqual(r.StartWithWindows("C:\\Apps", "JsProbe"), false, "StartWithWindows query");

try {
    r.ClassKey = 0;
    r.SectionKey = "Nowhere";
    r.CreateKey();
    check(false, "CreateKey without a root must throw");
} catch (e) {
    checkEqual(e.number, -2146802287, "JScript sees 0x800A6591 as its number");
    checkEqual(e.description, "Failed to create registry Key: 'Nowhere", "description");
}
summary();
