// Runs Autolinker over the corpus that linkifier_compare wrote: node autolinker_run.js PEERDIR
// CORPUS.json RUNS. Prints "version V", then one line "run US" per run, US being the process's
// CPU time (user and system) per message in microseconds. One linker with its default options
// (web addresses, mail addresses and phone numbers) serves every message, as an application
// would keep it.
'use strict';
const fs = require('fs');
const path = require('path');
const [peerDir, corpusFile, runsText] = process.argv.slice(2);
const modulePath = path.resolve(peerDir, 'node_modules', 'autolinker');
const loaded = require(modulePath);
const Autolinker = loaded.Autolinker || loaded.default || loaded;
const version = require(path.join(modulePath, 'package.json')).version;
const texts = JSON.parse(fs.readFileSync(corpusFile, 'utf8'));
const linker = new Autolinker({ urls: true, email: true, phone: true });
let sink = 0;
const pass = () => { for (const t of texts) sink += linker.link(t).length; };
for (let i = 0; i < 5; ++i) pass();  // let the JIT settle
console.log('version ' + version);
const runs = Number(runsText) || 10;
for (let r = 0; r < runs; ++r) {
  const start = process.cpuUsage();
  pass();
  const used = process.cpuUsage(start);
  console.log('run ' + ((used.user + used.system) / texts.length).toFixed(4));
}
if (sink === 0) console.log('empty output');
