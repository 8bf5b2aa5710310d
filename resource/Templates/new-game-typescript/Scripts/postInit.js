// Runs once the engine's systems have started, before Scripts/main.ts, as a
// classic script. A game written as modules needs nothing here.
