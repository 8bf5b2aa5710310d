// The script debugger's own code: it runs in a global of its own, apart from
// the game, and speaks the Debug Adapter Protocol. The engine gives it `host`:
//   host.send(text)          writes one protocol message to the connected client
//   host.enterPauseLoop(at)  keeps the window alive until host.resume(); true when
//                            the game is quitting instead
//   host.resume()            ends the pause loop
//   host.canonical(path)     the file's absolute path, links resolved
//   host.readSource(path)    the file's text as the loaders decode it, or null
//   host.withTimeBudget(s, f) calls f, stopping game code it runs after s seconds;
//                            true when it did
//   host.scriptsFolder       the game's Scripts/ folder, canonical, with a slash
//   host.game                the game's global object
//   host.collectGarbage()    a full garbage collection, now
// and calls handleMessage, rejectMessage, handleLocal, handleOutput,
// frameBoundary, clientGone, pauseRunaway and terminate below.
"use strict";

const dbg = new Debugger();
// A fault in a hook of ours must never become the game's exception: it is
// reported and the game's code goes on as if no hook had run.
dbg.uncaughtExceptionHook = (error) => {
  host.log("internal error: " + error + (error && error.stack ? "\n" + error.stack : ""));
  return undefined;
};
const gameGlobal = dbg.addDebuggee(host.game);

const kMaxChildren = 500;
const kMaxStringShown = 1000;
const kBreakpointLineSearch = 50;
// Every breakpoint costs the game a check each time its line runs; this many
// already slows a line that runs each frame, and no one sets them by hand.
const kMaxBreakpoints = 1000;
// Code the debugger runs for itself (evaluations, conditions) is named so.
const kEvalUrl = "debugger eval code";
// What the engine throws when the script heap is full.
const kOutOfMemory = "out of memory";
// An expression that loops must not hold the game and the debugger for good.
const kEvaluationSeconds = 2;

let seq = 1;
let paused = null; // while the game is paused: frames, reason and the values handed out
// Frames ended since "pause now" was asked for; 0 when it was not.
let pauseRequested = 0;
let stepping = null; // the frames that carry step hooks, to clear them all at once
let pauseOnUncaught = true;
let pauseOnAll = false;
let lastThrown = undefined;
let clientConfigured = false;
// How deep the debugger's own evaluations are nested: code they run never
// stops, for the reply to the evaluation could only come after a continue.
let evaluating = 0;

// Breakpoints by canonical file, each {id, line, condition, origin, actualLine,
// verified, installed: [script], test: the compiled condition}.
const breakpoints = new Map();
let nextBreakpointId = 1;
// Top-level scripts by canonical file, to place breakpoints set after loading.
const scriptsByFile = new Map();
const canonicalCache = new Map();

function canonical(url) {
  if (!url) return "";
  let path = canonicalCache.get(url);
  if (path === undefined) {
    path = host.canonical(url.startsWith("file://") ? decodeURIComponent(url.slice(7)) : url);
    canonicalCache.set(url, path);
  }
  return path;
}

function shortName(path) {
  if (path.startsWith(host.scriptsFolder)) return path.slice(host.scriptsFolder.length);
  const slash = path.lastIndexOf("/");
  return slash >= 0 ? path.slice(slash + 1) : path;
}

function send(message) {
  message.seq = seq++;
  host.send(JSON.stringify(message));
}

function sendEvent(event, body) {
  send({ type: "event", event, body });
}

// ---- Where scripts stop ----

function isOnStack(frame) {
  return frame.onStack !== undefined ? frame.onStack : frame.live;
}

function locationOf(frame) {
  if (!frame.script) return { line: 0, column: 0 };
  const meta = frame.script.getOffsetMetadata(frame.offset);
  return { line: meta.lineNumber, column: meta.columnNumber + 1 };
}

function frameName(frame) {
  if (frame.callee) return frame.callee.displayName || frame.callee.name || "(anonymous)";
  if (frame.type === "module") return "(module)";
  if (frame.type === "eval" || frame.type === "debugger") return "(eval)";
  return "(script)";
}

function collectFrames(youngest) {
  const frames = [];
  for (let f = youngest; f; f = f.older) if (f.script) frames.push(f);
  return frames;
}

function describeStop(frame) {
  if (!frame || !frame.script) return "between frames";
  return shortName(canonical(frame.script.url)) + ":" + locationOf(frame).line;
}

// A stopped game runs no frames, so the frame loop's collector would never
// give back what an evaluation that ran out of memory left behind.
function collectAfterOutOfMemory(thrown) {
  if (thrown === kOutOfMemory) host.collectGarbage();
}

function runUnstoppable(run) {
  ++evaluating;
  try {
    return run();
  } finally {
    --evaluating;
  }
}

// Stops the game here until a client or the panel lets it go on.
function pause(frame, reason, details) {
  if (paused || evaluating) return undefined; // code the debugger itself runs never stops
  clearStepping();
  pauseRequested = 0;
  dbg.onEnterFrame = undefined;
  paused = {
    frames: collectFrames(frame),
    reason,
    text: details && details.text,
    description: (details && details.description) || reason,
    refs: [null],
    resume: null,
  };
  const body = {
    reason,
    description: paused.description,
    threadId: 1,
    allThreadsStopped: true,
  };
  if (details && details.text) body.text = details.text;
  if (details && details.hitBreakpointIds) body.hitBreakpointIds = details.hitBreakpointIds;
  sendEvent("stopped", body);
  const quitting = host.enterPauseLoop("Paused at " + describeStop(frame));
  const resume = paused.resume;
  paused = null;
  if (quitting) {
    dbg.removeAllDebuggees();
    return undefined;
  }
  if (resume && resume.step) startStepping(resume.step, resume.frame);
  if (resume && resume.announce) sendEvent("continued", { threadId: 1, allThreadsContinued: true });
  return undefined;
}

function resumeWith(step, frame, announce) {
  paused.resume = { step, frame, announce };
  host.resume();
}

function clearStepping() {
  if (!stepping) return;
  for (const frame of stepping.frames) {
    if (isOnStack(frame)) {
      frame.onStep = undefined;
      frame.onPop = undefined;
    }
  }
  if (stepping.enter) dbg.onEnterFrame = undefined;
  stepping = null;
}

function stepFrom(frame, kind) {
  const start = locationOf(frame).line;
  const hooked = { frames: [], enter: false };
  stepping = hooked;
  const watch = (f, stopAtAnyStep) => {
    hooked.frames.push(f);
    f.onStep = function () {
      const meta = this.script.getOffsetMetadata(this.offset);
      if (!meta.isStepStart) return undefined;
      if (!stopAtAnyStep && this === frame && meta.lineNumber === start) return undefined;
      return pause(this, "step");
    };
    f.onPop = function () {
      // Back in the caller: stop at its next step, as if stepping from the call.
      const caller = this.older;
      if (caller && caller.script) watch(caller, true);
      return undefined;
    };
  };
  if (kind === "out") {
    hooked.frames.push(frame);
    frame.onPop = function () {
      const caller = this.older;
      if (caller && caller.script) watch(caller, true);
      return undefined;
    };
  } else {
    watch(frame, false);
  }
  if (kind === "in") {
    hooked.enter = true;
    dbg.onEnterFrame = (entered) => {
      if (!entered.script) return undefined;
      dbg.onEnterFrame = undefined;
      hooked.enter = false;
      watch(entered, true);
      return undefined;
    };
  }
}

function startStepping(kind, frame) {
  if (frame && isOnStack(frame)) stepFrom(frame, kind);
}

function onNewScript(script) {
  if (script.url === kEvalUrl) return;
  const file = canonical(script.url);
  if (!file) return;
  let list = scriptsByFile.get(file);
  if (!list) scriptsByFile.set(file, (list = []));
  list.push(script);
  const pending = breakpoints.get(file);
  if (pending) for (const bp of pending) installBreakpoint(bp, [script], true);
}

dbg.onNewScript = onNewScript;
dbg.onDebuggerStatement = (frame) => pause(frame, "breakpoint", { description: "debugger statement" });

dbg.onExceptionUnwind = (frame, value) => {
  if (paused || evaluating || (!pauseOnAll && !pauseOnUncaught)) return undefined;
  if (value === lastThrown) return undefined; // the same throw unwinding further
  lastThrown = value;
  let caught = false;
  for (let f = frame; f && !caught; f = f.older)
    if (f.script && f.script.isInCatchScope(f.offset)) caught = true;
  if (caught && !pauseOnAll) return undefined;
  const text = describeValue(value);
  return pause(frame, "exception", {
    description: (caught ? "Exception: " : "Uncaught exception: ") + text,
    text,
  });
};

// ---- Breakpoints ----

// Per top-level script, the first step of each line in each of its functions,
// found in one walk: placing a breakpoint is then a lookup, however many there are.
const lineIndexes = new Map();

function lineIndex(top) {
  let index = lineIndexes.get(top);
  if (index) return index;
  index = new Map();
  const walk = (script) => {
    const lines = new Set();
    for (const point of script.getPossibleBreakpoints()) {
      if (lines.has(point.lineNumber)) continue;
      lines.add(point.lineNumber);
      const list = index.get(point.lineNumber);
      if (list) list.push({ script, offset: point.offset });
      else index.set(point.lineNumber, [{ script, offset: point.offset }]);
    }
    for (const child of script.getChildScripts()) walk(child);
  };
  walk(top);
  lineIndexes.set(top, index);
  return index;
}

// The scripts and offsets a breakpoint at `line` stops at: the first step of
// that line in every function that has one.
function positionsOn(tops, line) {
  const found = [];
  for (const top of tops) found.push(...(lineIndex(top).get(line) || []));
  return found;
}

// The engine clears a breakpoint handler by walking its whole script, so all
// breakpoints in a script share one handler: clearing any number of them costs
// one walk. Each trap is {handler, atOffset: Map(offset → [breakpoint])}.
const traps = new Map();

function trapOf(script) {
  let trap = traps.get(script);
  if (!trap) {
    trap = { atOffset: new Map() };
    trap.handler = { hit: (frame) => breakpointsHit(frame, trap.atOffset.get(frame.offset)) };
    traps.set(script, trap);
  }
  return trap;
}

function installBreakpoint(bp, tops, announce) {
  let line = bp.line;
  let positions = [];
  for (let tried = 0; tried < kBreakpointLineSearch && positions.length === 0; ++tried) {
    line = bp.line + tried;
    positions = positionsOn(tops, line);
  }
  if (positions.length === 0) return;
  for (const { script, offset } of positions) {
    const trap = trapOf(script);
    const here = trap.atOffset.get(offset);
    if (here) {
      here.push(bp);
    } else {
      trap.atOffset.set(offset, [bp]);
      script.setBreakpoint(offset, trap.handler);
    }
    bp.installed.push(script);
  }
  const changed = !bp.verified || bp.actualLine !== line;
  bp.verified = true;
  bp.actualLine = line;
  if (announce && changed) sendEvent("breakpoint", { reason: "changed", breakpoint: describeBreakpoint(bp) });
}

function uninstallBreakpoints(bps) {
  const gone = new Set(bps);
  const touched = new Set();
  for (const bp of bps) {
    for (const script of bp.installed) touched.add(script);
    bp.installed = [];
  }
  for (const script of touched) {
    const trap = traps.get(script);
    script.clearBreakpoint(trap.handler);
    for (const [offset, here] of trap.atOffset) {
      const kept = here.filter((bp) => !gone.has(bp));
      if (kept.length === 0) {
        trap.atOffset.delete(offset);
      } else {
        trap.atOffset.set(offset, kept);
        script.setBreakpoint(offset, trap.handler);
      }
    }
    if (trap.atOffset.size === 0) traps.delete(script);
  }
}

function breakpointsHit(frame, here) {
  if (paused || evaluating || !here) return undefined;
  const hitBreakpointIds = [];
  let description = "Breakpoint";
  // Made once for all the conditions here, only when one needs them.
  let call = null;
  const callIn = () => (call = call || { self: debuggeeValue(frame.this), scope: gameGlobal.makeDebuggeeValue(frameScope(frame)) });
  for (const bp of here) {
    const problem = conditionProblem(bp, callIn);
    if (problem === null) continue;
    hitBreakpointIds.push(bp.id);
    if (problem) description = problem;
  }
  if (hitBreakpointIds.length === 0) return undefined;
  return pause(frame, "breakpoint", { description, hitBreakpointIds });
}

// Null when the breakpoint's condition is false; otherwise "" or, when the
// condition could not be evaluated (which counts as true), why not.
function conditionProblem(bp, callIn) {
  if (!bp.condition) return "";
  const test = conditionTest(bp);
  if (test.error) return "The condition " + bp.condition + " threw " + test.error;
  const { self, scope } = callIn();
  const completion = runUnstoppable(() => test.call(self, scope));
  if (completion && "throw" in completion) return "The condition " + bp.condition + " threw " + describeValue(completion.throw);
  return completion && "return" in completion && !isTruthy(completion.return) ? null : "";
}

// A condition is compiled once, into a function of the game's that sees the
// stopped frame's variables through `with`: a hit costs a call, not a compilation.
function conditionTest(bp) {
  if (!bp.test) {
    const source = "(function (__frameScope) { with (__frameScope) return (\n" + bp.condition + "\n); })";
    const completion = runUnstoppable(() => gameGlobal.executeInGlobal(source, { url: kEvalUrl }));
    if (completion && "return" in completion) bp.test = completion.return;
    else bp.test = { error: completion ? describeValue(completion.throw) : "nothing (it was stopped)" };
  }
  return bp.test;
}

function isGlobalEnvironment(env) {
  const outer = env.parent;
  return (env.type === "object" && !outer) || (outer && outer.type === "object" && !outer.parent);
}

// The frame's own and enclosing variables as an object for the condition's
// `with`. Names the frame does not bind fall through to the game's globals.
function frameScope(frame) {
  const env = frame.environment;
  // All the conditions at a breakpoint share this object, and each name is
  // looked up more than once: `with` asks whether it is there, then for it.
  const holders = new Map();
  const holder = (name) => {
    if (typeof name !== "string" || !env) return null;
    let found = holders.get(name);
    if (found === undefined) {
      found = env.find(name);
      if (found && isGlobalEnvironment(found)) found = null;
      holders.set(name, found);
    }
    return found;
  };
  return new Proxy(Object.create(null), {
    has: (target, name) => holder(name) !== null,
    get: (target, name) => {
      const found = holder(name);
      const value = found ? debuggeeValue(found.getVariable(name)) : undefined;
      return value instanceof Debugger.Object ? value.unsafeDereference() : value;
    },
    set: (target, name, value) => {
      const found = holder(name);
      if (found) found.setVariable(name, gameGlobal.makeDebuggeeValue(value));
      return found !== null;
    },
  });
}

// A value the debugger was given, with the markers for optimized-out or
// uninitialized variables read as undefined.
function debuggeeValue(value) {
  return typeof value !== "object" || value === null || value instanceof Debugger.Object ? value : undefined;
}

function isTruthy(value) {
  return typeof value === "object" && value !== null ? true : !!value;
}

function describeBreakpoint(bp) {
  const out = { id: bp.id, verified: bp.verified, line: bp.actualLine || bp.line };
  out.source = { name: shortName(bp.file), path: bp.file };
  if (!bp.verified) out.message = "Not loaded yet: the breakpoint is placed when the file loads";
  return out;
}

function makeBreakpoint(file, want, origin) {
  const bp = {
    id: nextBreakpointId++,
    file,
    line: Number(want.line) | 0,
    condition: typeof want.condition === "string" && want.condition.trim() ? want.condition : "",
    origin,
    verified: false,
    actualLine: 0,
    installed: [],
    test: null,
  };
  installBreakpoint(bp, scriptsByFile.get(file) || [], false);
  return bp;
}

function breakpointCount() {
  let count = 0;
  for (const list of breakpoints.values()) count += list.length;
  return count;
}

function checkBreakpointCount(file, adding, dropping) {
  const total = breakpointCount() - dropping + adding;
  if (total > kMaxBreakpoints)
    throw new RequestError(
      "too many breakpoints: " + adding + " in " + file + " would make " + total + " in all, over the limit of " + kMaxBreakpoints
    );
}

function setBreakpoints(path, wanted, origin) {
  const file = canonical(path);
  const old = breakpoints.get(file) || [];
  // Those another side set stay; this side's list replaces its own.
  const replaced = old.filter((bp) => bp.origin === origin);
  wanted = wanted.filter((want) => (Number(want && want.line) | 0) >= 1);
  checkBreakpointCount(file, wanted.length, replaced.length);
  uninstallBreakpoints(replaced);
  const made = wanted.map((want) => makeBreakpoint(file, want, origin));
  breakpoints.set(file, old.filter((bp) => bp.origin !== origin).concat(made));
  return made;
}

function toggleBreakpoint(path, line) {
  const file = canonical(path);
  const list = breakpoints.get(file) || [];
  const at = list.findIndex((bp) => (bp.actualLine || bp.line) === line);
  if (at >= 0) {
    const [bp] = list.splice(at, 1);
    uninstallBreakpoints([bp]);
    sendEvent("breakpoint", { reason: "removed", breakpoint: { id: bp.id, verified: false } });
    return false;
  }
  if (line < 1) return false;
  checkBreakpointCount(file, 1, 0);
  const bp = makeBreakpoint(file, { line }, "panel");
  breakpoints.set(file, list.concat([bp]));
  sendEvent("breakpoint", { reason: "new", breakpoint: describeBreakpoint(bp) });
  return true;
}

function breakpointLines(path) {
  const list = breakpoints.get(canonical(path)) || [];
  return list.map((bp) => bp.actualLine || bp.line);
}

function dropBreakpointsOf(origin) {
  const dropped = [];
  for (const [file, list] of breakpoints) {
    for (const bp of list) if (bp.origin === origin) dropped.push(bp);
    breakpoints.set(file, list.filter((bp) => bp.origin !== origin));
  }
  uninstallBreakpoints(dropped);
}

// ---- Values ----

function describeValue(value) {
  switch (typeof value) {
    case "undefined":
      return "undefined";
    case "string": {
      const shown = value.length > kMaxStringShown ? value.slice(0, kMaxStringShown) + "…" : value;
      return JSON.stringify(shown);
    }
    case "number":
      return Object.is(value, -0) ? "-0" : String(value);
    case "bigint":
      return String(value) + "n";
    case "boolean":
    case "symbol":
      return String(value);
    case "object":
      if (value === null) return "null";
      if (value.optimizedOut) return "(optimized out)";
      if (value.uninitialized) return "(uninitialized)";
      if (value.missingArguments) return "(missing arguments)";
      return describeObject(value);
  }
  return String(value);
}

function ownData(object, name) {
  try {
    const descriptor = object.getOwnPropertyDescriptor(name);
    return descriptor && "value" in descriptor ? descriptor.value : undefined;
  } catch (e) {
    return undefined;
  }
}

function describeObject(object) {
  if (object.callable) {
    const name = object.displayName || object.name || "";
    return (object.class === "Function" || !object.class ? "function " : object.class + " ") + name + "()";
  }
  if (object.isProxy) return "Proxy";
  const cls = object.class;
  if (cls === "Array") return "Array(" + ownData(object, "length") + ")";
  if (/Error$/.test(cls)) {
    const message = ownData(object, "message");
    const ctor = object.proto && ownData(object.proto, "name");
    return (typeof ctor === "string" ? ctor : "Error") + (typeof message === "string" ? ": " + message : "");
  }
  if (cls === "Object") {
    const names = object.getOwnPropertyNames().slice(0, 5);
    const more = object.getOwnPropertyNames().length > names.length ? ", …" : "";
    return "{" + names.map((n) => n + ": " + describeShallow(ownData(object, n))).join(", ") + more + "}";
  }
  return cls;
}

function describeShallow(value) {
  if (typeof value === "object" && value !== null && !value.optimizedOut) {
    if (value.callable) return "ƒ";
    return value.class === "Array" ? "Array(" + ownData(value, "length") + ")" : value.class === "Object" ? "{…}" : value.class;
  }
  return describeValue(value);
}

function typeOf(value) {
  if (value === null) return "null";
  if (typeof value === "object") return value.callable ? "function" : value.class || "object";
  return typeof value;
}

function reference(entry) {
  if (!paused) return 0;
  paused.refs.push(entry);
  return paused.refs.length - 1;
}

function variable(name, value) {
  const out = { name, value: describeValue(value), type: typeOf(value), variablesReference: 0 };
  if (typeof value === "object" && value !== null && !value.optimizedOut && !value.uninitialized && !value.missingArguments)
    out.variablesReference = reference({ object: value });
  return out;
}

function objectChildren(object) {
  const out = [];
  const seen = new Set();
  const names = object.getOwnPropertyNames();
  for (const name of names) {
    if (out.length >= kMaxChildren) {
      out.push({ name: "…", value: names.length - kMaxChildren + " more", variablesReference: 0 });
      return out;
    }
    seen.add(name);
    let descriptor;
    try {
      descriptor = object.getOwnPropertyDescriptor(name);
    } catch (e) {
      continue;
    }
    if (!descriptor) continue;
    if ("value" in descriptor) out.push(variable(name, descriptor.value));
    else out.push({ name, value: "(getter)", variablesReference: 0 });
  }
  // Engine objects keep their fields as native accessors on the prototype:
  // reading those runs no game code, so they are shown with their values.
  for (let proto = object.proto; proto && proto.proto; proto = proto.proto) {
    for (const name of proto.getOwnPropertyNames()) {
      if (seen.has(name) || out.length >= kMaxChildren) continue;
      const descriptor = proto.getOwnPropertyDescriptor(name);
      if (!descriptor || !descriptor.get || descriptor.get.script) continue;
      seen.add(name);
      const got = object.getProperty(name);
      if (got && "return" in got) out.push(variable(name, got.return));
    }
  }
  return out;
}

function environmentChildren(envs) {
  const out = [];
  const seen = new Set();
  for (const env of envs) {
    if (env.type === "object" || env.type === "with") {
      const object = env.object;
      for (const child of objectChildren(object)) if (!seen.has(child.name)) {
        seen.add(child.name);
        out.push(child);
      }
      continue;
    }
    for (const name of env.names()) {
      if (seen.has(name)) continue;
      seen.add(name);
      out.push(variable(name, env.getVariable(name)));
    }
  }
  return out;
}

// Locals up to the function's own scope, each enclosing function's scope as a
// closure, then the module, then the global.
function scopesOf(frame) {
  const scopes = [];
  let env = frame.environment;
  let locals = [];
  const closures = [];
  let moduleEnvs = [];
  const globalEnvs = [];
  let inFunction = !!frame.callee;
  let current = inFunction ? locals : null;
  for (; env; env = env.parent) {
    const kind = env.scopeKind || "";
    // A module's environment reports no scope kind; it is the declarative one
    // that sits right on the global lexical scope.
    const onGlobalLexical = env.parent && env.parent.parent && env.parent.parent.type === "object" && !env.parent.parent.parent;
    if (kind === "module" || (env.type === "declarative" && !kind && onGlobalLexical)) {
      moduleEnvs.push(env);
      current = null;
      continue;
    }
    if (env.type === "object" && !env.parent) {
      globalEnvs.push(env);
      continue;
    }
    if (kind === "global" || (env.parent && env.parent.type === "object" && !env.parent.parent)) {
      globalEnvs.push(env);
      continue;
    }
    if (current === null) {
      // Code outside a function: its block scopes are its locals.
      if (!inFunction && locals.length === 0 && closures.length === 0) {
        current = locals;
      } else {
        current = [];
        closures.push({ envs: current, name: env.calleeScript ? env.calleeScript.displayName : "" });
      }
    }
    current.push(env);
    if (env.calleeScript || kind === "function") current = null;
  }
  if (locals.length) scopes.push({ name: "Locals", presentationHint: "locals", envs: locals });
  for (const closure of closures)
    scopes.push({ name: closure.name ? "Closure (" + closure.name + ")" : "Closure", envs: closure.envs });
  if (moduleEnvs.length) scopes.push({ name: "Module", envs: moduleEnvs });
  if (globalEnvs.length) scopes.push({ name: "Global", envs: globalEnvs, expensive: true });
  return scopes;
}

// ---- Requests ----

class RequestError extends Error {}

function needPaused() {
  if (!paused) throw new RequestError("the game is not paused");
}

function frameAt(id) {
  needPaused();
  const frame = paused.frames[id | 0];
  if (frame === undefined || !isOnStack(frame)) throw new RequestError("no stack frame " + id);
  return frame;
}

function evaluate(args) {
  const expression = String(args.expression === undefined ? "" : args.expression);
  const frame = args.frameId !== undefined && paused && paused.frames.length > 0 ? frameAt(args.frameId) : null;
  let completion;
  const stopped = host.withTimeBudget(kEvaluationSeconds, () => {
    completion = runUnstoppable(() => (frame ? frame.eval(expression) : gameGlobal.executeInGlobal(expression)));
  });
  if (stopped) throw new RequestError("evaluation took longer than " + kEvaluationSeconds + " s and was stopped");
  if (!completion) throw new RequestError("the evaluation was terminated");
  if ("throw" in completion) {
    collectAfterOutOfMemory(completion.throw);
    throw new RequestError("Uncaught " + describeValue(completion.throw));
  }
  const value = completion.return;
  const shown = variable("", value);
  return { result: shown.value, type: shown.type, variablesReference: shown.variablesReference };
}

// TypeScript runs with its type syntax blanked, so the loaded text is not
// what the developer wrote. The file on disk is, as long as it is still the
// file that was loaded: same length, and the same character wherever the
// erasure did not blank one. An edited file not yet reloaded would show
// lines that are not the ones running, so then the loaded text is shown.
function writtenText(file, loaded) {
  if (!/\.[mc]?ts$/.test(file)) return loaded;
  const text = host.readSource(file);
  if (typeof text !== "string" || text.length !== loaded.length) return loaded;
  for (let i = 0; i < loaded.length; i++) {
    const c = loaded[i];
    if (c !== text[i] && c !== " " && c !== "\t" && c !== ";") return loaded;
  }
  return text;
}

function sourceText(path) {
  const file = canonical(path);
  for (const script of scriptsByFile.get(file) || []) {
    const text = script.source && script.source.text;
    if (typeof text === "string" && text !== "[no source]") return writtenText(file, text);
  }
  throw new RequestError("no loaded script is " + path);
}

const commands = {
  initialize() {
    return {
      supportsConfigurationDoneRequest: true,
      supportsConditionalBreakpoints: true,
      supportsEvaluateForHovers: true,
      exceptionBreakpointFilters: [
        { filter: "uncaught", label: "Uncaught Exceptions", default: true },
        { filter: "all", label: "All Exceptions", default: false },
      ],
    };
  },
  launch() {},
  attach() {},
  configurationDone() {
    clientConfigured = true;
  },
  setBreakpoints(args, origin) {
    const source = args.source || {};
    if (typeof source.path !== "string" || source.path === "") throw new RequestError("setBreakpoints needs source.path");
    const wanted = Array.isArray(args.breakpoints) ? args.breakpoints : Array.isArray(args.lines) ? args.lines.map((line) => ({ line })) : [];
    return { breakpoints: setBreakpoints(source.path, wanted, origin).map(describeBreakpoint) };
  },
  setExceptionBreakpoints(args) {
    const filters = Array.isArray(args.filters) ? args.filters : [];
    pauseOnAll = filters.includes("all");
    pauseOnUncaught = pauseOnAll || filters.includes("uncaught");
    return { breakpoints: filters.map(() => ({ verified: true })) };
  },
  threads() {
    return { threads: [{ id: 1, name: "Marrowvale" }] };
  },
  stackTrace(args) {
    needPaused();
    const start = Math.max(0, args.startFrame | 0);
    const levels = args.levels | 0 || paused.frames.length;
    const stackFrames = paused.frames.slice(start, start + levels).map((frame, i) => {
      const where = locationOf(frame);
      const path = canonical(frame.script.url);
      return { id: start + i, name: frameName(frame), source: { name: shortName(path), path }, line: where.line, column: where.column };
    });
    return { stackFrames, totalFrames: paused.frames.length };
  },
  scopes(args) {
    const frame = frameAt(args.frameId);
    return {
      scopes: scopesOf(frame).map((scope) => ({
        name: scope.name,
        presentationHint: scope.presentationHint,
        variablesReference: reference({ envs: scope.envs }),
        expensive: !!scope.expensive,
      })),
    };
  },
  variables(args) {
    needPaused();
    const entry = paused.refs[args.variablesReference | 0];
    if (!entry) throw new RequestError("no variables " + args.variablesReference);
    return { variables: entry.envs ? environmentChildren(entry.envs) : objectChildren(entry.object) };
  },
  evaluate(args) {
    return evaluate(args);
  },
  source(args) {
    const path = (args.source && args.source.path) || args.path;
    if (typeof path !== "string") throw new RequestError("source needs source.path");
    return { content: sourceText(path) };
  },
  continue(args, origin) {
    needPaused();
    resumeWith(null, null, origin === "panel");
    return { allThreadsContinued: true };
  },
  next(args, origin) {
    return step("over", args, origin);
  },
  stepIn(args, origin) {
    return step("in", args, origin);
  },
  stepOut(args, origin) {
    return step("out", args, origin);
  },
  pause() {
    if (!paused) {
      pauseRequested = 1;
      dbg.onEnterFrame = (frame) => (frame.script ? pause(frame, "pause", { description: "Paused" }) : undefined);
    }
  },
  disconnect() {
    clientLeft();
  },
  // The panel's own: the breakpoint lines of a file, and a click in its margin.
  breakpointLines(args) {
    return { lines: breakpointLines(String(args.path)) };
  },
  toggleBreakpoint(args) {
    return { set: toggleBreakpoint(String(args.path), args.line | 0) };
  },
  status() {
    return {
      paused: !!paused,
      reason: paused ? paused.reason : "",
      description: paused ? paused.description : "",
      pauseOnUncaught,
      pauseOnAll,
      configured: clientConfigured,
    };
  },
};

function step(kind, args, origin) {
  needPaused();
  const frame = paused.frames[0];
  resumeWith(frame ? kind : null, frame || null, origin === "panel");
  return {};
}

function clientLeft() {
  dropBreakpointsOf("client");
  pauseOnUncaught = true;
  pauseOnAll = false;
  clientConfigured = false;
  if (paused) resumeWith(null, null, false);
}

function run(request, origin) {
  if (typeof request !== "object" || request === null || Array.isArray(request)) throw new RequestError("a request must be a JSON object");
  const command = request.command;
  if (typeof command !== "string" || !Object.prototype.hasOwnProperty.call(commands, command))
    throw new RequestError("unknown request '" + String(command) + "'");
  const args = typeof request.arguments === "object" && request.arguments !== null ? request.arguments : {};
  return commands[command](args, origin) || {};
}

function failureText(error) {
  return error instanceof RequestError ? error.message : "the debugger failed: " + String(error);
}

// One message from the connected client.
function handleMessage(text) {
  let request;
  try {
    request = JSON.parse(text);
  } catch (e) {
    send({ type: "response", request_seq: 0, success: false, command: "", message: "invalid JSON: " + e.message });
    return;
  }
  const requestSeq = request && typeof request.seq === "number" ? request.seq : 0;
  const command = request && typeof request.command === "string" ? request.command : "";
  if (request && request.type !== undefined && request.type !== "request") return; // replies to reverse requests
  let body;
  try {
    body = run(request, "client");
  } catch (e) {
    collectAfterOutOfMemory(e);
    send({ type: "response", request_seq: requestSeq, success: false, command, message: failureText(e) });
    return;
  }
  send({ type: "response", request_seq: requestSeq, success: true, command, body });
  if (command === "initialize") sendEvent("initialized", {});
}

// A message the engine refused unread: not UTF-8, or nested too deep.
function rejectMessage(problem) {
  send({ type: "response", request_seq: 0, success: false, command: "", message: problem });
}

// A request from the in-game panel; the answer goes back as JSON text.
function handleLocal(text) {
  try {
    return JSON.stringify({ success: true, body: run(JSON.parse(text), "panel") });
  } catch (e) {
    collectAfterOutOfMemory(e);
    return JSON.stringify({ success: false, message: failureText(e) });
  }
}

function handleOutput(line) {
  sendEvent("output", { category: "console", output: line + "\n" });
}

// Called by the engine between frames: a pause asked for that no script
// has met in a whole frame stops the game here, with no script on the stack.
function frameBoundary() {
  if (pauseRequested && !paused && ++pauseRequested > 2) pause(null, "pause", { description: "Paused between frames" });
}

// Called by the engine when a game script ran out of time: the developer sees
// where it loops. True when it may go on, false when it is to be stopped.
function pauseRunaway(problem) {
  const frame = dbg.getNewestFrame();
  if (paused || evaluating || !frame) return false;
  pause(frame, "pause", { description: "Paused: " + problem, text: problem });
  return dbg.hasDebuggee(host.game); // not when the game is quitting
}

function clientGone() {
  clientLeft();
}

function terminate() {
  sendEvent("terminated", {});
  dbg.removeAllDebuggees();
}

function waitingForClient() {
  return !clientConfigured;
}

for (const script of dbg.findScripts()) onNewScript(script);
