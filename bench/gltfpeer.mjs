// The peer of the glTF rows: the same file read, `group` removed from every node's extras and
// the file written through @gltf-transform/core, each step timed. One file a process, so that
// its peak memory is its own. Prints "NODES<TAB>ACTION<TAB>VALUE" lines, median of the runs.
//
//   node gltfpeer.mjs FILE.gltf OUT.gltf RUNS
import { NodeIO } from '@gltf-transform/core';
import { performance } from 'node:perf_hooks';
import process from 'node:process';

const [file, out, runsText] = process.argv.slice(2);
const runs = Number(runsText || 1);
if (!file || !out || !(runs > 0)) {
    console.error('usage: node gltfpeer.mjs FILE.gltf OUT.gltf RUNS');
    process.exit(2);
}

const median = (values) => {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = Math.floor(sorted.length / 2);
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

const io = new NodeIO();
const times = { read: [], remove: [], write: [] };
let nodes = 0;
for (let run = 0; run < runs; ++run) {
    let start = performance.now();
    const document = await io.read(file);
    times.read.push(performance.now() - start);

    start = performance.now();
    const listed = document.getRoot().listNodes();
    nodes = listed.length;
    for (const node of listed) {
        const extras = node.getExtras();
        if (extras && Object.prototype.hasOwnProperty.call(extras, 'group')) {
            const { group, ...rest } = extras;
            node.setExtras(rest);
        }
    }
    times.remove.push(performance.now() - start);

    start = performance.now();
    await io.write(out, document);
    times.write.push(performance.now() - start);
    console.error(`  peer run ${run + 1}: read ${times.read[run].toFixed(1)} ms, remove ` +
                  `${times.remove[run].toFixed(1)} ms, write ${times.write[run].toFixed(1)} ms`);
}
const peakMegabytes = process.resourceUsage().maxRSS / 1024;  // maxRSS is in kilobytes
for (const [action, values] of Object.entries(times))
    console.log(`${nodes}\tpeer: ${action}\t${median(values).toFixed(1)}`);
console.log(`${nodes}\tpeer: peak memory, MB\t${peakMegabytes.toFixed(0)}`);
