// Runs before the engine's systems start, as a classic script: settings that
// must be in place first (the garbage collector's pace, say) go here.
