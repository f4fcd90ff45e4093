#!/usr/bin/env python3
"""Real application schemas through ombrix.

    corpus_test.py OMBRIX [--corpora DIR] [--only NAME[,NAME]] [--rows N] [--seed N] [--keep]

Each corpus is a MySQL schema that a Debian application package ships (fetched by
scripts/corpora). It is loaded with the mariadb client into a scratch schema and filled with
generated rows; then

  ddl:      `ombrix ddl SRC --as COPY` loads through the mariadb client, every object's
            SHOW CREATE text equals the source's (AUTO_INCREMENT=n aside), and
            `ombrix diff SRC COPY` finds nothing;
  transfer: `ombrix transfer --source SRC --target COPY --verify` succeeds, every table holds
            the same rows and every SHOW CREATE text is the source's;
  dump:     `ombrix dump SRC --as COPY` loads through the mariadb client with equal texts and rows;
  restore:  a two-reader directory dump of SRC, loaded by `ombrix restore --target COPY --parallel
            2`, gives equal texts and rows;
  diff:     after random ALTERs of a second load of the corpus, `ombrix diff ALT SRC --apply
            --allow-drop` brings it back: `ombrix diff` finds nothing, the SHOW CREATE texts are
            the source's again and the rows of tables the ALTERs did not cut are kept.

Every mismatch is printed with the object and a unified diff of the expected and found texts.
Exit 0 when all passed, 1 on a mismatch, 77 when the corpora are missing outside CI (CI=true
turns that into a failure). The sandbox server is $OMBRIX_SANDBOX_DIR's.
"""

import argparse
import difflib
import os
import random
import re
import shutil
import subprocess
import tempfile
import sys
import time
import zlib

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus_support as cs  # noqa: E402

SOURCE_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SKIP = 77


def mediawiki_script(path, schema):
    with open(path, "rb") as f:
        text = f.read()
    text = text.replace(b"/*_*/", b"").replace(b"/*$wgDBTableOptions*/", b"ENGINE=InnoDB DEFAULT CHARSET=binary")
    return b"CREATE DATABASE %s;\nUSE %s;\n" % (cs.qi(schema).encode(), cs.qi(schema).encode()) + text


def roundcube_script(path, schema):
    with open(path, "rb") as f:
        text = f.read()
    return b"CREATE DATABASE %s;\nUSE %s;\n" % (cs.qi(schema).encode(), cs.qi(schema).encode()) + text


def icinga_script(path, schema):
    # The schema dates from servers whose default character set was latin1: its tables that name
    # no set take the schema's.
    with open(path, "rb") as f:
        text = f.read()
    q = cs.qi(schema).encode()
    return b"CREATE DATABASE %s CHARACTER SET latin1 COLLATE latin1_swedish_ci;\nUSE %s;\n" % (q, q) + text


CORPORA = [
    ("mediawiki", "mw", "usr/share/mediawiki/maintenance/tables-generated.sql", mediawiki_script),
    ("roundcube", "rc", "usr/share/roundcube/SQL/mysql.initial.sql", roundcube_script),
    ("icinga", "ido", "usr/share/icinga2-ido-mysql/schema/mysql.sql", icinga_script),
]


class Report:
    def __init__(self, corpus):
        self.corpus = corpus
        self.passed = 0
        self.failed = []

    def ok(self, path, what):
        self.passed += 1
        print("ok    [%s/%s] %s" % (self.corpus, path, what), flush=True)

    def fail(self, path, what, detail=""):
        self.failed.append((path, what))
        print("FAIL  [%s/%s] %s" % (self.corpus, path, what), flush=True)
        if detail:
            for line in detail.rstrip("\n").split("\n"):
                print("      " + line)
        sys.stdout.flush()

    def check(self, path, what, condition, detail=""):
        if condition:
            self.ok(path, what)
        else:
            self.fail(path, what, detail)
        return condition


def unified(expected, got, label_expected, label_got, limit=400):
    lines = list(difflib.unified_diff(expected.split("\n"), got.split("\n"), label_expected, label_got,
                                      lineterm="", n=2))
    cut = []
    for line in lines[:limit]:
        cut.append(line if len(line) <= 600 else line[:600] + "...(%d characters)" % len(line))
    if len(lines) > limit:
        cut.append("... %d more lines" % (len(lines) - limit))
    return "\n".join(cut)


def compare_texts(report, path, expected, got, expected_name, got_name):
    """One check per object: present on both sides with the same text."""
    for key in sorted(set(expected) | set(got)):
        if key not in got:
            report.fail(path, "%s missing in %s" % (key, got_name), expected[key])
        elif key not in expected:
            report.fail(path, "%s in %s only" % (key, got_name), got[key])
        else:
            report.check(path, "SHOW CREATE %s" % key, expected[key] == got[key],
                         unified(expected[key], got[key], "%s (expected)" % expected_name,
                                 "%s (got)" % got_name))


def compare_rows(report, path, server, src, copy, tables, names):
    try:
        wanted = cs.schema_rows(server, src, tables, names)
        found = cs.schema_rows(server, copy, tables, names)
    except cs.SqlError as e:
        report.fail(path, "rows of %s" % copy, str(e))
        return
    for name in names:
        want, have = wanted[name], found[name]
        detail = ""
        if want != have:
            detail = "%d rows expected, %d found; differing rows (cells: V+hex for strings and bytes, " \
                     "V+text otherwise, N for NULL):\n" % (len(want), len(have))
            detail += unified("\n".join(want), "\n".join(have), "%s.%s" % (src, name), "%s.%s" % (copy, name),
                              limit=40)
        report.check(path, "rows of %s (%d)" % (name, len(want)), want == have, detail)


def output_of(code, out, err):
    text = out.decode("utf-8", "replace")
    return "exit %d\n--- stdout:\n%s\n--- stderr:\n%s" % (code, text[-6000:], err[-4000:])


def changed_cells(schema, table, seed):
    """UPDATE IGNORE statements that change about a tenth of each stored column's cells of TABLE in
    place, each by a small step of its kind; keys stay as they are."""
    keyed = {c for _, parts in table.unique_keys for c, _ in parts}
    statements = []
    for n, col in enumerate(table.columns):
        if col.is_generated or col.name in keyed:
            continue
        name = cs.qi(col.name)
        if col.is_text:
            change = "CONCAT(%s, ' ')" % name
        elif col.is_binary:
            change = "CONCAT(%s, 0x00)" % name
        elif col.data_type in ("tinyint", "smallint", "mediumint", "int", "bigint", "decimal", "double", "float"):
            change = "IF(%s > 0, %s - 1, %s + 1)" % (name, name, name)  # never out of range
        elif col.data_type in ("datetime", "timestamp", "time"):
            change = "%s + INTERVAL 1 SECOND" % name
        elif col.data_type == "date":
            change = "%s + INTERVAL 1 DAY" % name
        else:
            continue
        statements.append("UPDATE IGNORE %s.%s SET %s = %s WHERE RAND(%d) < 0.1;\n" % (
            cs.qi(schema), cs.qi(table.name), name, change, (seed + n) & 0xFFFF))
    return "".join(statements)


def run_corpus(args, server, ombrix, name, short, relpath, prepare):
    report = Report(name)
    path = os.path.join(args.corpora, "root", relpath)
    src, ddl, xfer, dmp, rst, alt = ("corpus_%s_%s" % (short, s) for s in ("src", "ddl", "xfer", "dmp", "rst", "alt"))
    seed = args.seed ^ zlib.crc32(name.encode())
    for schema in (src, ddl, xfer, dmp, rst, alt):
        server.drop_schema(schema)
    started = time.time()

    # The source: the file as the package ships it, through the mariadb client, then rows.
    try:
        server.run_script(prepare(path, src), default_settings=True)
    except cs.SqlError as e:
        report.fail("setup", "loading %s" % relpath, str(e))
        return report
    tables = cs.read_catalogue(server, src)
    try:
        counts = cs.fill_schema(server, src, tables, seed, args.rows)
    except cs.SqlError as e:
        report.fail("setup", "filling %s with generated rows" % src, str(e))
        return report
    print("setup [%s] %d tables, %d rows, %.1f s" % (name, len(tables), sum(counts.values()),
                                                   time.time() - started), flush=True)
    expected_plain = cs.show_create(server, src, keep_auto_increment=False)

    # ddl: the script of the schema under another name, loaded by the mariadb client.
    code, out, err = ombrix.run("ddl", src, "--as", ddl)
    if report.check("ddl", "ombrix ddl %s --as %s" % (src, ddl), code == 0, output_of(code, out, err)):
        try:
            server.run_script(out, default_settings=True)
            report.ok("ddl", "the script loads through the mariadb client")
        except cs.SqlError as e:
            report.fail("ddl", "the script loads through the mariadb client", str(e))
        expected = {k: v.replace(cs.qi(src), cs.qi(ddl)) for k, v in expected_plain.items()}
        compare_texts(report, "ddl", expected, cs.show_create(server, ddl, keep_auto_increment=False),
                      src, ddl)
        code, out, err = ombrix.run("diff", src, ddl)
        report.check("ddl", "ombrix diff %s %s finds nothing" % (src, ddl), code == 0 and not out.strip(),
                     output_of(code, out, err))

    # transfer: structure and rows into a schema that does not exist yet.
    code, out, err = ombrix.run("transfer", "--source", src, "--target", xfer, "--verify")
    report.check("transfer", "ombrix transfer --source %s --target %s --verify" % (src, xfer), code == 0,
                 output_of(code, out, err))
    if server.query("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = %s" % cs.ql(xfer))[0][0] == "1":
        compare_texts(report, "transfer", cs.show_create(server, src, rename_to=xfer),
                      cs.show_create(server, xfer), src, xfer)
        present = set(cs.read_catalogue(server, xfer))
        compare_rows(report, "transfer", server, src, xfer, tables, [t for t in sorted(tables) if t in present])
    else:
        report.fail("transfer", "schema %s exists after the transfer" % xfer)

    # dump: the whole schema written for another name, loaded by the mariadb client as it is.
    code, out, err = ombrix.run("dump", src, "--as", dmp)
    if report.check("dump", "ombrix dump %s --as %s" % (src, dmp), code == 0, output_of(code, b"", err)):
        try:
            server.run_script(out, default_settings=True)
            report.ok("dump", "the dump loads through the mariadb client")
        except cs.SqlError as e:
            report.fail("dump", "the dump loads through the mariadb client", str(e))
        compare_texts(report, "dump", cs.show_create(server, src, rename_to=dmp), cs.show_create(server, dmp), src, dmp)
        present = set(cs.read_catalogue(server, dmp))
        compare_rows(report, "dump", server, src, dmp, tables, [t for t in sorted(tables) if t in present])

    # sync data: every table's rows into the structure-only copy, then again after a third of them
    # were deleted there and a tenth of each column's cells changed in place (a trailing blank, a
    # NUL byte, a unit, a second or a day); a third run finds nothing. Tables without a key are
    # counted and left.
    if server.query("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = %s" % cs.ql(ddl))[0][0] == "1":
        present = set(cs.read_catalogue(server, ddl))
        for attempt in ("", "after deletions"):
            code, out, err = ombrix.run("sync", "data", "--source", src, "--target", ddl, "--apply")
            keyless = set(re.findall(r"table `[^`]*`\.`([^`]*)` has neither a primary key", err))
            report.check("sync", ("ombrix sync data --source %s --target %s --apply " % (src, ddl)) + attempt,
                         code == (1 if keyless else 0), output_of(code, b"", err))
            names = [t for t in sorted(tables) if t in present and t not in keyless]
            compare_rows(report, "sync", server, src, ddl, tables, names)
            if not attempt:
                script = "SET FOREIGN_KEY_CHECKS = 0;\n" + "".join(
                    "DELETE FROM %s.%s WHERE RAND(%d) < 0.34;\n" % (cs.qi(ddl), cs.qi(t), seed & 0xFFFF) for t in names)
                script += "".join(changed_cells(ddl, tables[t], seed) for t in names)
                try:
                    server.run_script(script)
                except cs.SqlError as e:
                    report.fail("sync", "deleting rows of %s" % ddl, str(e))
                    break
        code, out, err = ombrix.run("sync", "data", "--source", src, "--target", ddl)
        report.check("sync", "a second ombrix sync data finds nothing", not out.strip(), output_of(code, out, err))

    # restore: a directory written by two readers, loaded under another name by two sessions.
    folder = tempfile.mkdtemp(prefix="ombrix-corpus-")
    try:
        code, out, err = ombrix.run("dump", src, "--parallel", "2", "-o", os.path.join(folder, "d") + "/")
        if report.check("restore", "ombrix dump %s --parallel 2 -o DIR/" % src, code == 0, output_of(code, b"", err)):
            code, out, err = ombrix.run("restore", os.path.join(folder, "d"), "--target", rst, "--parallel", "2")
            report.check("restore", "ombrix restore DIR --target %s --parallel 2" % rst, code == 0,
                         output_of(code, out, err))
            compare_texts(report, "restore", cs.show_create(server, src, rename_to=rst), cs.show_create(server, rst),
                          src, rst)
            present = set(cs.read_catalogue(server, rst))
            compare_rows(report, "restore", server, src, rst, tables, [t for t in sorted(tables) if t in present])
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    # diff --apply: a second load, the same rows, random ALTERs, then back to the source.
    try:
        server.run_script(prepare(path, alt), default_settings=True)
        cs.fill_schema(server, alt, cs.read_catalogue(server, alt), seed, args.rows)
    except cs.SqlError as e:
        report.fail("diff", "loading %s" % alt, str(e))
        return report
    # The script's own rows may hold the time of its load: the rows to keep are ALT's own.
    alt_tables = cs.read_catalogue(server, alt)
    kept = cs.schema_rows(server, alt, alt_tables, sorted(alt_tables))
    rng = random.Random(seed + 1)
    alterations = cs.random_alterations(server, alt, cs.read_catalogue(server, alt), rng, args.alters)
    print("alter [%s] %d changes of %s:\n  %s" % (name, len(alterations), alt,
                                                  "\n  ".join(a.sql for a in alterations)), flush=True)
    expected = {k: v.replace(cs.qi(src), cs.qi(alt)) for k, v in expected_plain.items()}
    changed = cs.show_create(server, alt, keep_auto_increment=False) != expected
    code, out, err = ombrix.run("diff", alt, src, "--apply", "--allow-drop")
    # Exit 1: a script was printed and applied; 0: nothing to change.
    report.check("diff", "ombrix diff %s %s --apply --allow-drop" % (alt, src),
                 code == (1 if changed else 0), output_of(code, out, err))
    code, out, err = ombrix.run("diff", alt, src)
    report.check("diff", "ombrix diff %s %s finds nothing after --apply" % (alt, src), code == 0 and not out.strip(),
                 output_of(code, out, err))
    compare_texts(report, "diff", expected, cs.show_create(server, alt, keep_auto_increment=False), src, alt)
    lossy = {a.table for a in alterations if a.lossy}
    present = set(cs.read_catalogue(server, alt))
    names = [t for t in sorted(alt_tables) if t in present and t not in lossy]
    try:
        now = cs.schema_rows(server, alt, alt_tables, names)
    except cs.SqlError as e:
        report.fail("diff", "rows of %s" % alt, str(e))
        now = None
    for table in names if now is not None else []:
        detail = ""
        if kept[table] != now[table]:
            detail = "%d rows before, %d after; differing rows:\n" % (len(kept[table]), len(now[table]))
            detail += unified("\n".join(kept[table]), "\n".join(now[table]), "%s.%s before" % (alt, table),
                              "%s.%s after" % (alt, table), limit=40)
        report.check("diff", "rows of %s kept (%d)" % (table, len(kept[table])), kept[table] == now[table], detail)

    if not args.keep:
        for schema in (src, ddl, xfer, dmp, rst, alt):
            server.drop_schema(schema)
    print("time  [%s] %.1f s" % (name, time.time() - started), flush=True)
    return report


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ombrix", help="the ombrix client to test")
    parser.add_argument("--corpora", default=os.path.join(SOURCE_ROOT, "build", "corpora"),
                        help="where scripts/corpora keeps the schema files")
    parser.add_argument("--only", default="", help="comma-separated corpus names")
    parser.add_argument("--rows", type=int, default=int(os.environ.get("OMBRIX_CORPUS_ROWS", "30")))
    parser.add_argument("--alters", type=int, default=12)
    parser.add_argument("--seed", type=int, default=int(os.environ.get("OMBRIX_CORPUS_SEED", "20261210")))
    parser.add_argument("--keep", action="store_true", help="leave the scratch schemas in place")
    args = parser.parse_args()

    chosen = [c for c in CORPORA if not args.only or c[0] in args.only.split(",")]
    if not chosen:
        print("no corpus named %s" % args.only, file=sys.stderr)
        return 2
    in_ci = os.environ.get("CI", "") not in ("", "0", "false")

    missing = [c for c in chosen if not os.path.isfile(os.path.join(args.corpora, "root", c[2]))]
    if missing:
        fetch = subprocess.run([os.path.join(SOURCE_ROOT, "scripts", "corpora"), args.corpora])
        missing = [c for c in chosen if not os.path.isfile(os.path.join(args.corpora, "root", c[2]))]
        if missing:
            message = "corpus files missing under %s: %s (scripts/corpora exit %d)" % (
                args.corpora, ", ".join(c[2] for c in missing), fetch.returncode)
            if in_ci:
                print("FAIL  " + message)
                print("0 passed, 1 failed")
                return 1
            print("SKIP  " + message)
            return SKIP

    sandbox_dir = os.environ.get("OMBRIX_SANDBOX_DIR", "")
    if not sandbox_dir or not os.path.isfile(os.path.join(sandbox_dir, "env")):
        print("FAIL  OMBRIX_SANDBOX_DIR does not name a running sandbox (no env file)")
        print("0 passed, 1 failed")
        return 1
    if not os.access(args.ombrix, os.X_OK):
        print("FAIL  %s is not an executable" % args.ombrix)
        print("0 passed, 1 failed")
        return 1
    if shutil.which("mariadb") is None:
        print("FAIL  the mariadb client is not installed")
        print("0 passed, 1 failed")
        return 1

    work = cs.new_work_dir()
    try:
        server = cs.Server(sandbox_dir, work)
        ombrix = cs.Ombrix(os.path.abspath(args.ombrix), work, sandbox_dir)
        started = time.time()
        reports = [run_corpus(args, server, ombrix, *c) for c in chosen]
    finally:
        shutil.rmtree(work, ignore_errors=True)

    passed = sum(r.passed for r in reports)
    failed = sum(len(r.failed) for r in reports)
    print()
    print("Mismatches:" if failed else "No mismatch.")
    for r in reports:
        for path, what in r.failed:
            print("  [%s/%s] %s" % (r.corpus, path, what))
    print("corpus run time %.1f s" % (time.time() - started))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
