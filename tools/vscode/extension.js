"use strict";
// The game itself speaks the Debug Adapter Protocol on a loopback port, so all the editor needs
// is to be told where to connect: there is no adapter process to start.
const vscode = require("vscode");

const kDefaultPort = 4711;
// The game never listens on another address; a host in launch.json is not followed elsewhere.
const kHost = "127.0.0.1";

function activate(context) {
    context.subscriptions.push(
        vscode.debug.registerDebugAdapterDescriptorFactory("marrowvale", {
            createDebugAdapterDescriptor(session) {
                const port = Number(session.configuration.port ?? kDefaultPort);
                if (!Number.isInteger(port) || port < 1 || port > 65535) {
                    const given = session.configuration.port;
                    throw new Error('"port" must be a whole number from 1 to 65535, not ' + given);
                }
                return new vscode.DebugAdapterServer(port, kHost);
            },
        }),
    );
}

function deactivate() {}

module.exports = {
    activate,
    deactivate
};
