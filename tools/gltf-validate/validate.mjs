// Checks .glb or .gltf files with the Khronos glTF validator, as the mesh export tests
// do: node validate.mjs FILE... prints one summary line per file, then each issue, and
// exits with 1 when any file has an error (2 when a file cannot be read at all).
// Warnings are printed but pass unless --strict is given.
import { readFile } from "node:fs/promises";
import path from "node:path";
import validator from "gltf-validator";

const args = process.argv.slice(2);
const strict = args.includes("--strict");
const files = args.filter((arg) => arg !== "--strict");
if (files.length === 0) {
    console.error("usage: node validate.mjs [--strict] FILE...");
    process.exit(2);
}

let status = 0;
for (const file of files) {
    let bytes;
    try {
        bytes = new Uint8Array(await readFile(file));
    } catch (error) {
        console.error(`${file}: cannot read it (${error.message})`);
        status = 2;
        continue;
    }
    let report;
    try {
        report = await validator.validateBytes(bytes, {
            uri: path.basename(file),
            maxIssues: 0,
            writeTimestamp: false,
            // A .gltf's buffers are files beside it.
            externalResourceFunction: (uri) =>
                readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))).then(
                    (data) => new Uint8Array(data)
                ),
        });
    } catch (error) {
        console.error(`${file}: not glTF at all (${error})`);
        status = 2;
        continue;
    }
    const issues = report.issues;
    console.log(
        `${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
            `${issues.numInfos} infos, ${issues.numHints} hints`
    );
    const severities = ["error", "warning", "info", "hint"];
    for (const message of issues.messages)
        console.log(
            `  ${severities[message.severity] ?? message.severity} ${message.code}` +
                ` at ${message.pointer ?? message.offset ?? "?"}: ${message.message}`
        );
    if (issues.numErrors > 0 || (strict && issues.numWarnings > 0))
        status = Math.max(status, 1);
}
process.exit(status);
