// Times the npm package sql-formatter on the formatter benchmark's corpus, as format_bench times ours:
//   node format_peer.mjs beautify|minify FILE...   prints "<mode> <seconds>", reading excluded.
// sql-formatter has no one-line mode: "minify" is its most compact layout with the line ends
// turned into blanks.
import { format } from 'sql-formatter';
import { readFileSync } from 'node:fs';

const [mode, ...files] = process.argv.slice(2);
if (!['beautify', 'minify'].includes(mode) || files.length === 0) {
    console.error('usage: node format_peer.mjs beautify|minify FILE...');
    process.exit(2);
}
const texts = files.map((file) => readFileSync(file, 'utf8'));
const compact = { language: 'mariadb', tabWidth: 0, linesBetweenQueries: 0, denseOperators: true, expressionWidth: 1000000 };

let nanoseconds = 0n;
let produced = 0;
for (const text of texts) {
    const start = process.hrtime.bigint();
    const out = mode === 'minify' ? format(text, compact).replace(/\n/g, ' ') : format(text, { language: 'mariadb' });
    nanoseconds += process.hrtime.bigint() - start;
    produced += out.length;
}
if (produced === 0) console.error('format_peer: sql-formatter produced nothing');
console.log(`${mode} ${(Number(nanoseconds) / 1e9).toFixed(6)}`);
