// Shared assertions of the JScript tests (put in front of each test file).
// A test ends with summary(), which prints "N passed, M failed".
var g_passed = 0, g_failed = 0;
function check(condition, label) {
    if (condition) { g_passed++; } else { g_failed++; WScript.Echo("FAIL: " + label); }
}
function checkEqual(actual, expected, label) {
    if (actual === expected) { g_passed++; }
    else { g_failed++; WScript.Echo("FAIL: " + label + ": got " + actual + " (" + typeof actual + "), expected " + expected); }
}
function summary() { WScript.Echo(g_passed + " passed, " + g_failed + " failed"); }
