// Late-bound call costs from JScript, as calls.vbs does for VBScript.
// Arguments: rounds, calls per round.
var rounds = parseInt(WScript.Arguments(0), 10);
var n = parseInt(WScript.Arguments(1), 10);

var reg = new ActiveXObject("Tessary.xRegistry");
var app = new ActiveXObject("Tessary.xApplication");
var dict = new ActiveXObject("Scripting.Dictionary");
dict.Add("key", 1);
var text = "abc";

function report(pair, side, started, count) {
    var ms = new Date().getTime() - started;
    WScript.Echo("sample\t" + pair + "\t" + side + "\t" + (ms * 1000 / count));
}

function propertyGet(side) {
    var i, x, t = new Date().getTime();
    if (side == "ours") { for (i = 0; i < n; i++) x = reg.ClassKey; }
    else { for (i = 0; i < n; i++) x = dict.Count; }
    report("js property get", side, t, n);
}

function textMethod(side) {
    var i, x, t = new Date().getTime();
    if (side == "ours") { for (i = 0; i < n; i++) x = app.StripTerminator(text); }
    else { for (i = 0; i < n; i++) x = dict.Exists(text); }
    report("js method, text argument", side, t, n);
}

for (var round = 1; round <= rounds; round++) {
    var order = round % 2 ? ["ours", "peer"] : ["peer", "ours"];
    for (var k = 0; k < 2; k++) propertyGet(order[k]);
    for (var k = 0; k < 2; k++) textMethod(order[k]);
}
