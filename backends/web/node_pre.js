// Put before the generated loader of the programs that run under Node.js
// (emcc --pre-js). Node.js has fetch() now, which this Emscripten's loader
// takes as a sign of a browser and then fails to fetch a file path: hand it the
// .wasm beside the .js from the file system instead.
if (typeof process == 'object' && typeof require == 'function' && !Module['wasmBinary']) {
  Module['wasmBinary'] = require('fs').readFileSync(__filename.replace(/\.js$/, '.wasm'));
}
