// Keeps the engine library non-empty while the skeleton grows.
const char* MarrowvaleVersion() { return "0.1"; }
