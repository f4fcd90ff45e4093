"""Support for the corpus tests: the sandbox server through the mariadb client, the ombrix
client, a schema's catalogue, generated rows and random structure changes.

Everything here compares by the server's own texts (SHOW CREATE, the cells as the server prints
them), never by what ombrix makes of a schema. Standard library only.
"""

import json
import os
import random
import re
import subprocess
import tempfile
import zlib

# ---------------------------------------------------------------------------------------------
# The sandbox server and the mariadb client


class SqlError(Exception):
    """A statement the mariadb client could not run."""


def read_sandbox_env(sandbox_dir):
    settings = {}
    with open(os.path.join(sandbox_dir, "env"), encoding="utf-8") as env:
        for line in env:
            line = line.strip()
            if "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                settings[key] = value
    return settings


def unescape_batch(field):
    """A field as the mariadb client prints it in batch mode, back to its text."""
    if "\\" not in field:
        return field
    out = []
    i = 0
    while i < len(field):
        c = field[i]
        if c == "\\" and i + 1 < len(field):
            nxt = field[i + 1]
            out.append({"n": "\n", "t": "\t", "0": "\0", "\\": "\\"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Server:
    """The sandbox server, reached with the mariadb client."""

    def __init__(self, sandbox_dir, work_dir):
        env = read_sandbox_env(sandbox_dir)
        self.defaults = os.path.join(work_dir, "client.cnf")
        with open(self.defaults, "w", encoding="utf-8") as cnf:
            cnf.write("[client]\n")
            cnf.write("host=%s\n" % env["OMBRIX_SANDBOX_HOST"])
            cnf.write("port=%s\n" % env["OMBRIX_SANDBOX_PORT"])
            cnf.write("user=%s\n" % env.get("OMBRIX_SANDBOX_USER", "root"))
            cnf.write("password=%s\n" % env["OMBRIX_SANDBOX_PASSWORD"])
            cnf.write("protocol=TCP\n")
        os.chmod(self.defaults, 0o600)

    def client(self, *args):
        """The mariadb client command with connection settings only (its defaults otherwise)."""
        return ["mariadb", "--defaults-file=" + self.defaults] + list(args)

    def run_script(self, script, database=None, default_settings=False, timeout=300):
        """Runs a script (bytes or text) through the mariadb client; raises SqlError on failure.

        default_settings keeps the client as it is out of the box; otherwise the connection
        speaks utf8mb4 and lifts the packet limit, for scripts this test writes itself."""
        args = [] if default_settings else ["--default-character-set=utf8mb4", "--max-allowed-packet=512M"]
        if database:
            args.append(database)
        data = script.encode("utf-8") if isinstance(script, str) else script
        proc = subprocess.run(self.client(*args), input=data, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
        if proc.returncode != 0:
            raise SqlError(proc.stderr.decode("utf-8", "replace").strip())
        return proc.stdout.decode("utf-8", "replace")

    def query(self, sql, database=None):
        """The rows of the last result of SQL, each a list of texts as the server gives them
        (NULL prints as the text NULL: queries that can meet NULL write it out themselves)."""
        args = ["--batch", "--skip-column-names", "--default-character-set=utf8mb4",
                "--max-allowed-packet=512M"]
        if database:
            args.append(database)
        proc = subprocess.run(self.client(*args), input=sql.encode("utf-8"), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=300)
        if proc.returncode != 0:
            raise SqlError("%s\n-- in: %s" % (proc.stderr.decode("utf-8", "replace").strip(), sql[:500]))
        text = proc.stdout.decode("utf-8", "replace")
        rows = []
        for line in text.split("\n"):
            if line == "":
                continue
            rows.append([unescape_batch(f) for f in line.split("\t")])
        return rows

    def json_rows(self, sql):
        """Rows of a query whose single column is a JSON_ARRAY(...): exact, NULLs kept."""
        return [json.loads(r[0]) for r in self.query(sql)]

    def drop_schema(self, name):
        self.run_script("DROP DATABASE IF EXISTS %s;" % qi(name))


def qi(name):
    return "`" + name.replace("`", "``") + "`"


def ql(text):
    """A string literal for the statements this test writes itself."""
    return "'" + text.replace("\\", "\\\\").replace("'", "''").replace("\0", "\\0") + "'"


# ---------------------------------------------------------------------------------------------
# The ombrix client


class Ombrix:
    def __init__(self, path, work_dir, sandbox_dir):
        self.path = path
        self.home = os.path.join(work_dir, "home")
        self.logs = os.path.join(work_dir, "logs")
        os.makedirs(self.home, exist_ok=True)
        os.makedirs(self.logs, exist_ok=True)
        self.profiles = os.path.join(self.home, "profiles.json")
        self.env = dict(os.environ)
        self.env["HOME"] = self.home
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.home, ".config")
        self.env["XDG_CACHE_HOME"] = os.path.join(self.home, ".cache")
        self.env["OMBRIX_SANDBOX_DIR"] = sandbox_dir

    def run(self, *args, timeout=300):
        cmd = [self.path, "--profiles", self.profiles, "--log-dir", self.logs] + list(args)
        try:
            proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env,
                                  timeout=timeout)
        except subprocess.TimeoutExpired as e:
            return -1, e.stdout or b"", "no answer within %d s: %s" % (timeout, " ".join(args))
        return proc.returncode, proc.stdout, proc.stderr.decode("utf-8", "replace")


# ---------------------------------------------------------------------------------------------
# A schema's catalogue, as information_schema tells it


class Column:
    def __init__(self, row):
        (self.name, self.data_type, self.column_type, nullable, self.char_len, self.octet_len,
         self.precision, self.scale, self.dt_precision, self.charset, self.collation, self.extra,
         self.default, self.generated) = row
        self.data_type = self.data_type.lower()
        self.nullable = nullable == "YES"
        self.unsigned = "unsigned" in self.column_type.lower()
        self.auto_increment = "auto_increment" in (self.extra or "").lower()
        self.is_generated = (self.generated or "NEVER") != "NEVER"
        self.json = False  # set when a CHECK (json_valid(col)) guards it

    @property
    def is_text(self):
        return self.data_type in ("char", "varchar", "tinytext", "text", "mediumtext", "longtext")

    @property
    def is_binary(self):
        return self.data_type in ("binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob")


class Table:
    def __init__(self, name):
        self.name = name
        self.columns = []
        self.unique_keys = []   # [(index name, [(column, sub_part)])]
        self.indexes = {}       # index name -> (non_unique, [columns])
        self.foreign_keys = []  # [(name, [columns], referenced table, [referenced columns])]
        self.checks = []

    def column(self, name):
        for c in self.columns:
            if c.name == name:
                return c
        raise KeyError(name)


def read_catalogue(server, schema):
    """The tables of SCHEMA with their columns, keys, foreign keys and checks."""
    lit = ql(schema)
    tables = {}
    for (name,) in server.json_rows(
            "SELECT JSON_ARRAY(TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = %s "
            "AND TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME" % lit):
        tables[name] = Table(name)
    for row in server.json_rows(
            "SELECT JSON_ARRAY(TABLE_NAME, COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, IS_NULLABLE, "
            "CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
            "DATETIME_PRECISION, CHARACTER_SET_NAME, COLLATION_NAME, EXTRA, COLUMN_DEFAULT, IS_GENERATED) "
            "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = %s ORDER BY TABLE_NAME, ORDINAL_POSITION"
            % lit):
        if row[0] in tables:
            tables[row[0]].columns.append(Column(row[1:]))
    keys = {}
    for table, index, non_unique, column, sub_part in server.json_rows(
            "SELECT JSON_ARRAY(TABLE_NAME, INDEX_NAME, NON_UNIQUE, COLUMN_NAME, SUB_PART) "
            "FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = %s ORDER BY TABLE_NAME, "
            "INDEX_NAME, SEQ_IN_INDEX" % lit):
        if table not in tables:
            continue
        entry = keys.setdefault((table, index), [int(non_unique), []])
        entry[1].append((column, sub_part))
    for (table, index), (non_unique, cols) in sorted(keys.items()):
        tables[table].indexes[index] = (non_unique, [c for c, _ in cols])
        if not non_unique:
            tables[table].unique_keys.append((index, cols))
    fks = {}
    for table, name, column, ref_table, ref_column in server.json_rows(
            "SELECT JSON_ARRAY(TABLE_NAME, CONSTRAINT_NAME, COLUMN_NAME, REFERENCED_TABLE_NAME, "
            "REFERENCED_COLUMN_NAME) FROM information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = %s "
            "AND REFERENCED_TABLE_NAME IS NOT NULL AND REFERENCED_TABLE_SCHEMA = TABLE_SCHEMA "
            "ORDER BY TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION" % lit):
        entry = fks.setdefault((table, name), (ref_table, [], []))
        entry[1].append(column)
        entry[2].append(ref_column)
    for (table, name), (ref_table, cols, ref_cols) in sorted(fks.items()):
        tables[table].foreign_keys.append((name, cols, ref_table, ref_cols))
    for table, clause in server.json_rows(
            "SELECT JSON_ARRAY(TABLE_NAME, CHECK_CLAUSE) FROM information_schema.CHECK_CONSTRAINTS "
            "WHERE CONSTRAINT_SCHEMA = %s" % lit):
        if table not in tables:
            continue
        tables[table].checks.append(clause)
        m = re.fullmatch(r"\s*json_valid\(`((?:[^`]|``)+)`\)\s*", clause, re.I)
        if m:
            tables[table].column(m.group(1).replace("``", "`")).json = True
    return tables


def table_order(tables):
    """Tables with every referenced table before the ones that reference it."""
    done, order = set(), []

    def visit(name, path):
        if name in done or name in path:
            return
        path.add(name)
        for _, _, ref, _ in tables[name].foreign_keys:
            if ref in tables and ref != name:
                visit(ref, path)
        done.add(name)
        order.append(name)

    for name in sorted(tables):
        visit(name, set())
    return order


# ---------------------------------------------------------------------------------------------
# Generated rows

HOSTILE = [
    "'", "''", '"', "\\", "\\'", "\\\\", "\0", "a\0b", "\n", "\r\n", "\t", "\x1a", "\x7f",
    "O'Reilly", "<script>alert('x')</script>", "</textarea>", "&amp;", "-- ", "/* x */", ";", "`", "``",
    "%", "_", "\\N", "NULL", "null", "${x}", "{{x}}", "DROP TABLE x;", " lead", "trail ", "  ",
    "é", "e\u0301", "ß", "Ä", "€", "£", "\u00a0", "\u200b", "\u202e", "\ufeff", "日本語", "עברית",
    "Ωmega", "ｆｕｌｌ", "\U0001F600", "\U0001F389", "\U0001F468\u200d\U0001F469\u200d\U0001F467", "\U00010348",
]

ALL_BYTES = bytes(range(256))

PYTHON_CODEC = {
    "utf8mb4": "utf-8", "utf8mb3": "utf-8", "utf8": "utf-8", "latin1": "cp1252", "ascii": "ascii",
    "ucs2": "utf-16-be", "utf16": "utf-16-be", "utf32": "utf-32-be", "cp1251": "cp1251",
    "latin2": "iso8859-2", "greek": "iso8859-7", "hebrew": "iso8859-8", "binary": None,
}

INT_RANGES = {
    "tinyint": 8, "smallint": 16, "mediumint": 24, "int": 32, "integer": 32, "bigint": 64,
}

BLOB_BYTES = {"tinyblob": 255, "blob": 65535, "mediumblob": 16777215, "longblob": 4294967295,
              "tinytext": 255, "text": 65535, "mediumtext": 16777215, "longtext": 4294967295}

# Long values stay under this many bytes, so that the whole group runs in minutes.
LONG_CAP = 150_000


def encode_for(column, text):
    """TEXT in the column's character set, dropping what the set cannot hold."""
    charset = (column.charset or "binary").lower()
    codec = PYTHON_CODEC.get(charset, "utf-8")
    if codec is None:
        return text.encode("utf-8")
    if charset in ("utf8mb3", "utf8"):
        text = "".join(ch for ch in text if ord(ch) <= 0xFFFF)
    return text.encode(codec, "ignore")


def fit_text(column, text, chars, octets):
    """TEXT cut to at most CHARS characters and OCTETS bytes in the column's set."""
    text = text[:chars]
    data = encode_for(column, text)
    while len(data) > octets:
        over = len(data) - octets
        text = text[:max(0, len(text) - max(1, over // 4))]
        data = encode_for(column, text)
    return data


def text_limits(column):
    if column.data_type in BLOB_BYTES:
        octets = min(BLOB_BYTES[column.data_type], LONG_CAP)
        return octets, octets
    chars = int(column.char_len)
    octets = int(column.octet_len) if column.octet_len is not None else chars
    return chars, octets


def enum_values(column_type):
    inner = column_type[column_type.index("(") + 1:column_type.rindex(")")]
    return [m.replace("''", "'").replace("\\\\", "\\") for m in re.findall(r"'((?:[^']|'')*)'", inner)]


def decimal_max(precision, scale):
    whole = "9" * (precision - scale) if precision > scale else "0"
    return whole + ("." + "9" * scale if scale else "")


class Literal(str):
    """An SQL expression written as it is into an INSERT."""


def hex_literal(column, data):
    charset = column.charset
    if column.is_binary or not charset or charset == "binary":
        return Literal("X'%s'" % data.hex()) if data else Literal("''")
    if not data:
        return Literal("_%s''" % charset)
    return Literal("_%s X'%s'" % (charset, data.hex()))


class RowGenerator:
    """Rows for one table from a fixed seed: extremes of every type, hostile text, NULLs where
    allowed; unique keys respected by giving one column of each key a value unique to the row."""

    def __init__(self, table, rng, parents, existing=None):
        self.table = table
        self.rng = rng
        self.parents = parents  # referenced table -> list of referenced column values (dicts)
        # Rows the schema's own script inserted: {column: set of values as the server prints them}.
        self.existing = existing or {}
        self.fk_of = {}
        for fk in table.foreign_keys:
            for col in fk[1]:
                self.fk_of[col] = fk
        self.carriers = set()
        for _, cols in table.unique_keys:
            names = [c for c, _ in cols]
            if any(n in self.carriers for n in names):
                continue
            for name, sub_part in cols:
                col = table.column(name)
                if name in self.fk_of or col.is_generated or not self.can_carry(col, sub_part):
                    continue
                self.carriers.add(name)
                break
        self.used_ints = {name: {int(v) for v in values if v != "NULL"}
                          for name, values in self.existing.items()
                          if table.column(name).data_type in INT_RANGES}

    @staticmethod
    def can_carry(col, sub_part):
        if col.data_type in INT_RANGES or col.data_type in ("decimal", "float", "double", "date",
                                                             "datetime", "timestamp"):
            return True
        if col.is_text or col.is_binary:
            room = min(int(sub_part), *([int(col.char_len)] if col.char_len else [])) if sub_part \
                else (int(col.char_len) if col.char_len else 255)
            return room >= 4
        return False

    # -- one value per type -----------------------------------------------------------------

    def int_value(self, col, i, carrier):
        bits = INT_RANGES[col.data_type]
        lo, hi = (0, 2 ** bits - 1) if col.unsigned else (-(2 ** (bits - 1)), 2 ** (bits - 1) - 1)
        if col.auto_increment:
            lo = max(lo, 1)
        extremes = [lo, hi, 0 if lo <= 0 else lo + 1, hi - 1, lo + 1, 1, 127 if hi >= 127 else hi - 2]
        if not carrier:
            return str(extremes[i]) if i < len(extremes) else str(self.rng.randint(lo, hi))
        used = self.used_ints.setdefault(col.name, set())
        value = extremes[i] if i < len(extremes) else self.rng.randint(lo, hi)
        while value in used:
            value = self.rng.randint(lo, hi)
        used.add(value)
        return str(value)

    def text_value(self, col, i, carrier, sub_part_room=None):
        chars, octets = text_limits(col)
        tag = "%03d|" % i if carrier else ""
        if i == 0:
            pieces = ""
        elif i == 1:
            # As long as the column holds, hostile pieces over and over.
            unit = "".join(HOSTILE)
            pieces = (unit * (chars // len(unit) + 2))[:chars]
        else:
            n = self.rng.randint(1, 12)
            pieces = "".join(self.rng.choice(HOSTILE) for _ in range(n))
            if self.rng.random() < 0.15:
                pieces += "x" * self.rng.randint(0, min(chars, 3000))
        if carrier and i == 0 and self.existing:
            tag = "---|"  # the script's own rows may hold the empty string
        text = pieces if i == 0 and not tag else tag + pieces
        if col.json:
            return hex_literal(col, fit_text(col, json.dumps({"i": i, "s": pieces[:200]}), chars, octets))
        return hex_literal(col, fit_text(col, text, chars, octets))

    def binary_value(self, col, i, carrier):
        chars, octets = text_limits(col)
        limit = min(chars, octets)
        tag = b"%03d|" % i if carrier else b""
        if i == 0:
            data = b"---|" if carrier and self.existing else b""
        elif i == 1:
            data = tag + (ALL_BYTES * (limit // 256 + 1))
        elif i == 2:
            data = tag + bytes(reversed(ALL_BYTES))
        else:
            n = self.rng.randint(0, min(limit, 600))
            data = tag + bytes(self.rng.randrange(256) for _ in range(n))
            if self.rng.random() < 0.3:
                data = tag + b"\0'\"\\\n\r\t\x1a" + data[len(tag):]
        data = data[:limit]
        if col.data_type == "binary" and carrier:
            # Fixed width: padding with zero bytes keeps a distinct value distinct.
            pass
        return hex_literal(col, data)

    def temporal_value(self, col, i, carrier):
        fsp = int(col.dt_precision or 0)
        frac_max = ("." + "9" * fsp) if fsp else ""
        dt = col.data_type
        if dt == "date":
            pool = ["0000-00-00", "9999-12-31", "1000-01-01", "2024-02-29", "1970-01-01"]
        elif dt == "datetime":
            pool = ["0000-00-00 00:00:00", "9999-12-31 23:59:59" + frac_max, "1000-01-01 00:00:00",
                    "2024-02-29 12:34:56" + ("." + "123456"[:fsp] if fsp else "")]
        elif dt == "timestamp":
            pool = ["0000-00-00 00:00:00", "2038-01-19 03:14:07" + frac_max, "1970-01-01 00:00:01",
                    "2024-02-29 12:34:56"]
        elif dt == "time":
            pool = ["-838:59:59", "838:59:59", "00:00:00", "23:59:59" + frac_max]
        elif dt == "year":
            pool = ["0000", "2155", "1901", "2000"]
        else:
            raise ValueError(dt)
        if carrier:
            if dt == "date":
                if i == 0:
                    return Literal("'0000-00-00'")
                return Literal("'1000-01-01' + INTERVAL %d DAY" % (i * 3001))
            if dt in ("datetime", "timestamp"):
                if i == 0:
                    return Literal("'0000-00-00 00:00:00'")
                return Literal("TIMESTAMP'1970-01-01 00:00:01' + INTERVAL %d SECOND" % (i * 9999991))
        if i < len(pool):
            return Literal("'%s'" % pool[i])
        return Literal("'%s'" % self.rng.choice(pool))

    def value(self, col, i, row):
        if col.name in self.fk_of:
            return row[col.name]
        carrier = col.name in self.carriers
        if not carrier and col.nullable and (i == 2 or (i > 3 and self.rng.random() < 0.2)):
            return Literal("NULL")
        dt = col.data_type
        if dt in INT_RANGES:
            return Literal(self.int_value(col, i, carrier))
        if dt == "decimal":
            p, s = int(col.precision), int(col.scale)
            top = decimal_max(p, s)
            if carrier:
                return Literal(str(i) if i or col.unsigned else "-" + top)
            pool = ["0" if col.unsigned else "-" + top, top, "0", "1", ("0." + "0" * (s - 1) + "1") if s else "1"]
            return Literal(pool[i % len(pool)] if i < 5 else self.rng.choice(pool))
        if dt == "float":
            pool = ["0", "-3.40282e38", "3.40282e38", "1.17549e-38", "0.1", "-1.5", "123456.7", "1e-45"]
            if col.unsigned:
                pool = [v for v in pool if not v.startswith("-")]
            if carrier:
                return Literal("%d.5" % i)
            return Literal(pool[i] if i < len(pool) else self.rng.choice(pool))
        if dt == "double":
            pool = ["0", "-1.7976931348623157e308", "1.7976931348623157e308", "2.2250738585072014e-308",
                    "0.1", "0.30000000000000004", "-0", "5e-324", "123456789.123456789"]
            if col.unsigned:
                pool = [v for v in pool if not v.startswith("-")]
            if carrier:
                return Literal("%d.25" % i)
            return Literal(pool[i] if i < len(pool) else self.rng.choice(pool))
        if dt == "bit":
            width = int(col.precision or 1)
            pool = [0, 2 ** width - 1, 1]
            return Literal(str(pool[i] if i < 3 else self.rng.randrange(2 ** width)))
        if dt in ("date", "datetime", "timestamp", "time", "year"):
            return self.temporal_value(col, i, carrier)
        if dt == "enum":
            values = enum_values(col.column_type)
            v = values[i % len(values)] if i < len(values) else self.rng.choice(values)
            return Literal(ql(v))
        if dt == "set":
            values = enum_values(col.column_type)
            if i == 0:
                chosen = []
            elif i == 1:
                chosen = values
            else:
                chosen = [v for v in values if self.rng.random() < 0.4]
            return Literal(ql(",".join(chosen)))
        if col.is_binary:
            return self.binary_value(col, i, carrier)
        if col.is_text:
            return self.text_value(col, i, carrier)
        if dt == "uuid":
            pool = ["00000000-0000-0000-0000-000000000000", "ffffffff-ffff-ffff-ffff-ffffffffffff"]
            return Literal("'%s'" % (pool[i] if i < 2 else "%08x-0000-4000-8000-%012x" % (i, self.rng.getrandbits(48))))
        if dt == "inet6":
            return Literal("'%s'" % ("::" if i == 0 else "ffff:ffff:ffff:ffff:ffff:ffff:ffff:%x" % i))
        if dt == "inet4":
            return Literal("'%s'" % ("0.0.0.0" if i == 0 else "255.255.%d.%d" % (i // 256, i % 256)))
        if col.nullable:
            return Literal("NULL")
        raise ValueError("no generator for %s.%s %s" % (self.table.name, col.name, col.column_type))

    # -- rows -------------------------------------------------------------------------------

    def rows(self, count):
        """Up to COUNT rows, each a dict column -> SQL literal."""
        out = []
        seen = {}
        for i in range(count):
            row = None
            for _attempt in range(20):
                row = {}
                bad = False
                for fk_name, cols, ref, ref_cols in self.table.foreign_keys:
                    choices = self.parents.get(ref, [])
                    nullable = all(self.table.column(c).nullable for c in cols)
                    if not choices or (nullable and self.rng.random() < 0.1):
                        if not nullable:
                            bad = True
                        for c in cols:
                            row[c] = Literal("NULL")
                        continue
                    parent = self.rng.choice(choices)
                    for c, rc in zip(cols, ref_cols):
                        row[c] = parent[rc]
                if bad:
                    row = None
                    break
                for col in self.table.columns:
                    if col.is_generated or col.name in row:
                        continue
                    row[col.name] = self.value(col, i, row)
                # Keys that no carrier makes unique (foreign key columns only): checked here.
                clash = False
                for index, cols in self.table.unique_keys:
                    names = [c for c, _ in cols]
                    if any(n in self.carriers for n in names):
                        continue
                    values = tuple(row[n] for n in names)
                    if "NULL" in values:
                        continue
                    if values in seen.setdefault(index, set()):
                        clash = True
                if not clash:
                    for index, cols in self.table.unique_keys:
                        seen.setdefault(index, set()).add(tuple(row[n] for n, _ in cols))
                    break
                row = None
            if row is not None:
                out.append(row)
        return out


def insert_statements(schema, table, rows):
    names = [c.name for c in table.columns if not c.is_generated]
    head = "INSERT INTO %s.%s (%s) VALUES " % (qi(schema), qi(table.name), ", ".join(qi(n) for n in names))
    return [head + "(" + ", ".join(row[n] for n in names) + ");" for row in rows]


def fill_schema(server, schema, tables, seed, rows_per_table):
    """Fills every table of SCHEMA with generated rows; returns {table: row count}."""
    parents = {}
    counts = {}
    needed = {}  # referenced table -> referenced columns
    for t in tables.values():
        for _, _, ref, ref_cols in t.foreign_keys:
            needed.setdefault(ref, set()).update(ref_cols)
    for name in table_order(tables):
        table = tables[name]
        rng = random.Random(seed ^ zlib.crc32(name.encode("utf-8")))
        existing = existing_values(server, schema, table)
        rows = RowGenerator(table, rng, parents, existing).rows(rows_per_table)
        statements = insert_statements(schema, table, rows)
        script = ["SET SESSION time_zone = '+00:00';", "SET SESSION sql_mode = 'STRICT_ALL_TABLES';"]
        script += statements
        try:
            server.run_script("\n".join(script) + "\n", database=schema)
        except SqlError as e:
            raise SqlError("generated rows for %s.%s: %s" % (schema, name, e))
        counts[name] = len(rows)
        if name in needed:
            cols = sorted(needed[name])
            parents[name] = read_key_values(server, schema, table, cols)
    return counts


def existing_values(server, schema, table):
    """{column: values} of the unique keys' columns in the rows TABLE already holds ({} when empty)."""
    names = sorted({c for _, cols in table.unique_keys for c, _ in cols})
    if not names:
        return {}
    rows = server.json_rows("SELECT JSON_ARRAY(%s) FROM %s.%s" % (
        ", ".join("IF(%s IS NULL, 'NULL', CAST(%s AS CHAR))" % (qi(n), qi(n)) for n in names),
        qi(schema), qi(table.name)))
    if not rows:
        return {}
    return {n: {r[i] for r in rows} for i, n in enumerate(names)}


def read_key_values(server, schema, table, cols):
    """The values of COLS in each row of TABLE, as SQL literals."""
    exprs = []
    for name in cols:
        col = table.column(name)
        if col.is_text or col.is_binary:
            exprs.append("IF(%s IS NULL, 'NULL', CONCAT('X''', HEX(%s), ''''))" % (qi(name), qi(name)))
        else:
            exprs.append("IF(%s IS NULL, 'NULL', QUOTE(%s))" % (qi(name), qi(name)))
    rows = sorted(server.json_rows("SELECT JSON_ARRAY(%s) FROM %s.%s" % (", ".join(exprs), qi(schema), qi(table.name))))
    out = []
    for r in rows:
        out.append({c: Literal(v) for c, v in zip(cols, r)})
    return out


# ---------------------------------------------------------------------------------------------
# What the server says of a schema


def show_create(server, schema, rename_to=None, keep_auto_increment=True):
    """{object key: text} for the schema itself and every table, view, sequence, routine, trigger
    and event in it, from SHOW CREATE. With RENAME_TO, the schema's name in quoted identifiers is
    replaced by that name, so that the texts of two schemas compare."""
    lit = ql(schema)
    q = qi(schema)
    objects = server.query(
        "SELECT CASE TABLE_TYPE WHEN 'VIEW' THEN 'VIEW' WHEN 'SEQUENCE' THEN 'SEQUENCE' ELSE 'TABLE' END, "
        "TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = %s "
        "UNION ALL SELECT ROUTINE_TYPE, ROUTINE_NAME FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = %s "
        "UNION ALL SELECT 'TRIGGER', TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = %s "
        "UNION ALL SELECT 'EVENT', EVENT_NAME FROM information_schema.EVENTS WHERE EVENT_SCHEMA = %s "
        "ORDER BY 1, 2" % (lit, lit, lit, lit))
    statements = ["SHOW CREATE DATABASE %s;" % q]
    statements += ["SHOW CREATE %s %s.%s;" % (kind, q, qi(name)) for kind, name in objects]
    # Each SHOW CREATE gives one row, one line in batch mode: the lines follow the statements.
    rows = server.query("\n".join(statements))
    if len(rows) != len(statements):
        raise SqlError("%d statements gave %d rows" % (len(statements), len(rows)))
    texts = {"DATABASE": rows[0][1]}
    for (kind, name), row in zip(objects, rows[1:]):
        if kind == "TABLE":
            text = row[1] if keep_auto_increment else strip_auto_increment(row[1])
        elif kind == "TRIGGER":
            text = "\n".join(row[1:6])  # without the creation time
        elif kind in ("VIEW", "SEQUENCE"):
            text = "\n".join(row[1:])
        else:
            text = "\n".join(row[1:])
        texts[kind + " " + name] = text
    if rename_to is not None:
        texts = {k: v.replace(qi(schema), qi(rename_to)) for k, v in texts.items()}
    return texts


def strip_auto_increment(text):
    """A CREATE TABLE text without its AUTO_INCREMENT=n table option."""
    head, sep, options = text.rpartition("\n)")
    if not sep:
        return text
    return head + sep + re.sub(r" AUTO_INCREMENT=\d+", "", options)


# ---------------------------------------------------------------------------------------------
# Rows as the server prints them


def cell_expression(col):
    name = qi(col.name)
    if col.is_text or col.is_binary or col.data_type in ("enum", "set") or col.data_type in (
            "geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
            "multipolygon", "geometrycollection"):
        value = "HEX(%s)" % name
    elif col.data_type == "bit":
        value = "BIN(%s)" % name
    elif col.data_type == "float":
        value = "CAST(%s AS DOUBLE)" % name  # a FLOAT's own text keeps six digits
    else:
        value = name
    return "IF(%s IS NULL, 'N', CONCAT('V', %s))" % (name, value)


def schema_rows(server, schema, tables, names):
    """{table: rows} for the NAMES of TABLES in SCHEMA, each table's rows as sorted lines of cells
    (hex for strings and bytes, the server's text for numbers and times), so that two tables
    compare by content whatever their row order."""
    statements = ["SET SESSION time_zone = '+00:00';"]
    for name in names:
        cells = [cell_expression(c) for c in tables[name].columns]
        statements.append("SELECT %s, CONCAT_WS(',', %s) FROM %s.%s;" % (
            ql(name), ", ".join(cells), qi(schema), qi(name)))
    out = {name: [] for name in names}
    for name, line in server.query("\n".join(statements)):
        out[name].append(line)
    return {name: sorted(lines) for name, lines in out.items()}


# ---------------------------------------------------------------------------------------------
# Random structure changes


class Alteration:
    def __init__(self, table, sql, lossy):
        self.table = table
        self.sql = sql
        self.lossy = lossy  # the change drops data that the way back cannot restore


WIDER = {"tinyint": "smallint", "smallint": "int", "mediumint": "int", "int": "bigint"}


def column_definition_sql(server, schema, table, column):
    """The column's definition as the server writes it in SHOW CREATE TABLE."""
    text = server.query("SHOW CREATE TABLE %s.%s" % (qi(schema), qi(table)))[0][1]
    prefix = "  " + qi(column) + " "
    for line in text.split("\n"):
        if line.startswith(prefix):
            return line.strip().rstrip(",")
    raise KeyError(column)


def random_alterations(server, schema, tables, rng, count):
    """COUNT structure changes on random tables of SCHEMA, each one the server accepted."""
    names = sorted(tables)
    done = []
    tries = 0
    while len(done) < count and tries < count * 20:
        tries += 1
        table = tables[rng.choice(names)]
        kind = rng.choice(["add_column", "drop_column", "modify_column", "set_default", "drop_default",
                           "add_index", "drop_index", "table_comment", "column_comment",
                           "move_column", "null_column"])
        alteration = make_alteration(server, schema, table, kind, rng, len(done))
        if alteration is None:
            continue
        try:
            server.run_script(alteration.sql + "\n", database=schema)
        except SqlError:
            continue
        done.append(alteration)
        tables = read_catalogue(server, schema)
    return done


def make_alteration(server, schema, table, kind, rng, n):
    t = "ALTER TABLE %s.%s " % (qi(schema), qi(table.name))
    in_index = {c for _, (_, cols) in table.indexes.items() for c in cols}
    in_fk = {c for fk in table.foreign_keys for c in fk[1]}
    plain = [c for c in table.columns if c.name not in in_index and c.name not in in_fk
             and not c.is_generated and not c.auto_increment]
    if kind == "add_column":
        after = rng.choice(table.columns).name
        return Alteration(table.name, t + "ADD COLUMN %s VARCHAR(%d) NULL DEFAULT 'added' COMMENT 'new %d' AFTER %s"
                          % (qi("zz_added_%d" % n), rng.randint(1, 300), n, qi(after)), False)
    if kind == "drop_column":
        if not plain or len(table.columns) < 2:
            return None
        return Alteration(table.name, t + "DROP COLUMN %s" % qi(rng.choice(plain).name), True)
    if kind == "modify_column":
        candidates = [c for c in plain if c.data_type in WIDER or c.data_type in ("varchar", "varbinary")]
        if not candidates:
            return None
        c = rng.choice(candidates)
        definition = column_definition_sql(server, schema, table.name, c.name)
        if c.data_type in WIDER:
            new = re.sub(r"\b%s\(\d+\)|\b%s\b" % (c.data_type, c.data_type), WIDER[c.data_type], definition, 1)
        else:
            new = re.sub(r"\b(varchar|varbinary)\((\d+)\)",
                         lambda m: "%s(%d)" % (m.group(1), int(m.group(2)) + 17), definition, 1)
        return Alteration(table.name, t + "MODIFY COLUMN " + new, False)
    if kind == "set_default":
        candidates = [c for c in table.columns if not c.auto_increment and not c.is_generated
                      and (c.data_type in INT_RANGES or c.data_type in ("varchar", "varbinary", "char", "binary"))]
        if not candidates:
            return None
        c = rng.choice(candidates)
        value = "42" if c.data_type in INT_RANGES else "'d%d'" % n
        return Alteration(table.name, t + "ALTER COLUMN %s SET DEFAULT %s" % (qi(c.name), value), False)
    if kind == "drop_default":
        candidates = [c for c in table.columns if c.default is not None and c.default != "NULL"
                      and not c.is_generated]
        if not candidates:
            return None
        c = rng.choice(candidates)
        return Alteration(table.name, t + "ALTER COLUMN %s DROP DEFAULT" % qi(c.name), False)
    if kind == "add_index":
        candidates = [c for c in table.columns if not c.is_generated and c.data_type not in BLOB_BYTES]
        if not candidates:
            return None
        cols = rng.sample(candidates, min(len(candidates), rng.randint(1, 2)))
        return Alteration(table.name, t + "ADD INDEX %s (%s)" % (qi("zz_idx_%d" % n), ", ".join(
            qi(c.name) + ("(8)" if c.data_type in ("varchar", "varbinary", "char", "binary") and int(c.char_len or 0) > 8 else "")
            for c in cols)), False)
    if kind == "drop_index":
        candidates = [i for i in table.indexes if i != "PRIMARY"]
        if not candidates:
            return None
        return Alteration(table.name, t + "DROP INDEX %s" % qi(rng.choice(sorted(candidates))), False)
    if kind == "table_comment":
        return Alteration(table.name, t + "COMMENT = %s" % ql("changed %d: it's \"quoted\" \\ here" % n), False)
    if kind == "column_comment":
        candidates = [c for c in table.columns if not c.is_generated]
        c = rng.choice(candidates)
        definition = column_definition_sql(server, schema, table.name, c.name)
        definition = re.sub(r" COMMENT '(?:[^']|'')*'$", "", definition)
        return Alteration(table.name, t + "MODIFY COLUMN %s COMMENT %s" % (definition, ql("note %d" % n)), False)
    if kind == "move_column":
        if len(table.columns) < 3:
            return None
        c = rng.choice(table.columns[1:])
        definition = column_definition_sql(server, schema, table.name, c.name)
        return Alteration(table.name, t + "MODIFY COLUMN %s FIRST" % definition, False)
    if kind == "null_column":
        candidates = [c for c in plain if not c.nullable]
        if not candidates:
            return None
        c = rng.choice(candidates)
        definition = column_definition_sql(server, schema, table.name, c.name)
        return Alteration(table.name, t + "MODIFY COLUMN %s" % definition.replace(" NOT NULL", " NULL", 1), False)
    return None


def new_work_dir():
    return tempfile.mkdtemp(prefix="ombrix-corpus-")
