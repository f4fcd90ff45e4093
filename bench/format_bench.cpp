// The formatter benchmark: writes the corpus, then times beautify and minify over it.
//
//   format_bench generate DIR   writes the corpus files into DIR (the same bytes on every run)
//   format_bench run FILE...    prints "beautify <seconds>" and "minify <seconds>": the median of
//                               three passes over all files, reading excluded

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "solvane/Supports/Database/formatter.hpp"

namespace {

using Ombrix::Solvane::Supports::Database::Formatter;

class Corpus {
public:
    explicit Corpus(unsigned seed) : m_rng(seed) {}

    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

    std::string word() {
        static const char* const words[] = {"alpha", "bravo", "charlie", "delta", "echo", "from", "select",
                                            "where", "and", "or", "union", "it's", "O'Brien", "x  y", "café"};
        return words[number(0, static_cast<int>(std::size(words)) - 1)];
    }

    // A quoted string value with the escapes a dump writes.
    std::string literal(int words) {
        std::string s = "'";
        for (int i = 0; i < words; ++i) {
            if (i) s += ' ';
            for (char c : word()) {
                if (c == '\'') s += "\\'";
                else s += c;
            }
        }
        return s + "'";
    }

    // Mixed statements as people type them: sub-selects, joins, CASE, line breaks and indentation.
    std::string mixed(std::size_t target) {
        std::string out;
        for (int n = 0; out.size() < target; ++n) {
            switch (n % 5) {
            case 0:
                out += "select o.id, o.total, c.name,\n  case when o.total > " + std::to_string(number(1, 999)) +
                       " then 'big' else 'small' end as size\nfrom orders o inner join customers c on c.id = o.customer_id\n"
                       "where o.created >= '2024-01-01' and o.status in (select s.id from statuses s where s.open = 1 and "
                       "s.name like 'open%')\n  and o.region_id = " + std::to_string(number(1, 50)) +
                       "\ngroup by o.id, o.total, c.name having count(*) > 1 order by o.total desc limit 50;\n";
                break;
            case 1:
                out += "INSERT INTO audit (id, actor, action, detail) VALUES (" + std::to_string(n) + ", " + literal(2) +
                       ", 'update', " + literal(6) + "), (" + std::to_string(n + 1) + ", " + literal(1) +
                       ", 'delete', NULL);\n";
                break;
            case 2:
                out += "UPDATE accounts SET balance = balance - " + std::to_string(number(1, 500)) +
                       ", note = " + literal(3) + "\nWHERE id IN (SELECT account_id FROM transfers WHERE batch = " +
                       std::to_string(n) + " AND state = 'ready') OR owner_id = " + std::to_string(number(1, 9999)) +
                       ";\n";
                break;
            case 3:
                out += "insert into daily_totals (day, total)\nselect date(created), sum(total) from orders\n"
                       "where not exists (select 1 from daily_totals d where d.day = date(orders.created))\n"
                       "group by date(created) -- refresh " + std::to_string(n) + "\n;\n";
                break;
            default:
                out += "SELECT p.id, p.title FROM posts p LEFT JOIN authors a ON a.id = p.author_id WHERE p.id BETWEEN " +
                       std::to_string(n) + " AND " + std::to_string(n + 100) +
                       " UNION ALL SELECT d.id, d.title FROM drafts d WHERE d.owner = " + literal(1) + ";\n";
                break;
            }
        }
        return out;
    }

    std::string in_list(int values) {
        std::string out = "SELECT id, name, price FROM products WHERE id IN (";
        for (int i = 0; i < values; ++i) out += (i ? ", " : "") + std::to_string(number(1, 99999999));
        return out + ") AND deleted = 0 ORDER BY name;\n";
    }

    std::string long_literal(std::size_t bytes) {
        std::string text;
        while (text.size() < bytes) text += word() + (number(0, 20) == 0 ? "\n" : " ");
        std::string escaped;
        for (char c : text) {
            if (c == '\'') escaped += "''";
            else escaped += c;
        }
        return "INSERT INTO notes (id, body) VALUES (1, '" + escaped + "');\n";
    }

    // A dump as a dump tool writes it: comments, version comments, DDL, long multi-row INSERTs.
    std::string dump(std::size_t target) {
        std::string out = "-- Dump of database shop\n-- ------------------------------------------------------\n"
                          "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;\n/*!40101 SET NAMES utf8mb4 */;\n";
        for (int table = 0; out.size() < target; ++table) {
            const std::string name = "`items_" + std::to_string(table) + "`";
            out += "\n--\n-- Table structure for table " + name + "\n--\n\nDROP TABLE IF EXISTS " + name +
                   ";\nCREATE TABLE " + name +
                   " (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `name` varchar(100) NOT NULL,\n"
                   "  `price` decimal(10,2) DEFAULT NULL,\n  `note` text DEFAULT NULL,\n  `created` datetime NOT NULL,\n"
                   "  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n\nLOCK TABLES " + name +
                   " WRITE;\n/*!40000 ALTER TABLE " + name + " DISABLE KEYS */;\n";
            for (int statement = 0; statement < 50 && out.size() < target; ++statement) {
                out += "INSERT INTO " + name + " VALUES ";
                for (int row = 0; row < 100; ++row) {
                    const int id = statement * 100 + row + 1;
                    out += (row ? ",(" : "(") + std::to_string(id) + "," + literal(number(1, 3)) + "," +
                           std::to_string(number(1, 99999)) + "." + std::to_string(number(10, 99)) + "," +
                           (number(0, 4) == 0 ? std::string("NULL") : literal(number(3, 12))) + ",'2024-" +
                           std::to_string(number(10, 12)) + "-1" + std::to_string(number(0, 9)) + " 12:00:00')";
                }
                out += ";\n";
            }
            out += "/*!40000 ALTER TABLE " + name + " ENABLE KEYS */;\nUNLOCK TABLES;\n";
        }
        return out;
    }

private:
    std::mt19937 m_rng;
};

bool write_file(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(file);
}

int generate(const std::string& dir) {
    Corpus corpus(20240611);
    const std::pair<const char*, std::string> files[] = {
        {"mixed.sql", corpus.mixed(1 << 20)},
        {"in_list.sql", corpus.in_list(10000)},
        {"literal.sql", corpus.long_literal(1 << 20)},
        {"dump.sql", corpus.dump(20 << 20)},
    };
    for (const auto& [name, text] : files) {
        if (!write_file(dir + "/" + name, text)) {
            std::cerr << "format_bench: cannot write " << dir << "/" << name << "\n";
            return 1;
        }
    }
    return 0;
}

template <class Operation>
double median_seconds(const std::vector<std::string>& texts, Operation operation) {
    std::vector<double> passes;
    std::size_t sink = 0;  // keeps the results observable
    for (int pass = 0; pass < 3; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& text : texts) sink += operation(text).size();
        passes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(passes.begin(), passes.end());
    if (sink == 0) std::cerr << "format_bench: the formatter produced nothing\n";
    return passes[1];
}

int run(const std::vector<std::string>& paths) {
    std::vector<std::string> texts;
    for (const auto& path : paths) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::cerr << "format_bench: cannot read " << path << "\n";
            return 1;
        }
        texts.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const auto formatter = Formatter::create();
    const double beautify = median_seconds(texts, [&](const std::string& t) { return formatter->beautify(t).value_or(""); });
    const double minify = median_seconds(texts, [&](const std::string& t) { return formatter->minify(t); });
    std::printf("beautify %.6f\nminify %.6f\n", beautify, minify);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "generate") return generate(args[1]);
    if (args.size() >= 2 && args[0] == "run") return run({args.begin() + 1, args.end()});
    std::cerr << "usage: format_bench generate DIR | format_bench run FILE...\n";
    return 2;
}
