// Runs once every system has started, and again on a live reload. The sample
// game has nothing to do here: it is written as ES modules, which a classic
// script like this one cannot import, and starts in main.mjs, the entry module
// the engine runs next.
