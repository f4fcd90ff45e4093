/// @file A row's 64-bit hash as the server computes it, so that two tables on two servers can be
/// compared by sums of row hashes without their rows leaving the servers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Ombrix::Solvane::Supports::Data {

/// What a hashed cell reads as exact text.
struct HashedColumn {
    std::string quoted_name;  // the column, quoted
    /// FLOAT: its text keeps six digits, two different values could read alike; widened to DOUBLE,
    /// whose text keeps every bit.
    bool widen = false;
    /// Text columns whose character sets differ between the two sides: both read in this one
    /// ("utf8mb4"), so that the same characters hash alike.
    std::string convert_to;
    /// How the cell becomes text that no other cell's text can run into:
    /// - Any: the hexadecimal digits of its text, whatever the value;
    /// - Bytes (strings, binary, BIT): the bytes as they are, their length told after the cells;
    /// - Plain (numbers, temporal values): their text, which holds no separator and is never "N".
    enum class Form { Any, Bytes, Plain } form = Form::Any;
    /// Bytes read as binary: a row whose text columns have several character sets would otherwise
    /// mix them in one text, which the server refuses.
    bool as_binary = false;
    /// The type the value is cast to first ("DECIMAL(10,3)"): a column whose scale or fraction
    /// differs on the other side is read as that side stores it.
    std::string cast_as = {};
};

/// The form a column of `data_type` (the catalogue's DATA_TYPE, lower case) hashes in, when both
/// sides declare it alike.
inline HashedColumn::Form hash_form(std::string_view data_type) {
    static constexpr std::string_view bytes[] = {"char", "varchar", "tinytext", "text", "mediumtext", "longtext",
                                                 "binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob",
                                                 "bit"};
    static constexpr std::string_view plain[] = {"tinyint", "smallint", "mediumint", "int", "bigint", "decimal",
                                                 "double", "float", "year", "date", "datetime", "timestamp", "time"};
    for (const auto name : bytes)
        if (data_type == name) return HashedColumn::Form::Bytes;
    for (const auto name : plain)
        if (data_type == name) return HashedColumn::Form::Plain;
    return HashedColumn::Form::Any;
}

/// The column's value as the hash reads it.
inline std::string hashed_value(const HashedColumn& column) {
    std::string value = column.quoted_name;
    if (column.widen) value = "CAST(" + value + " AS DOUBLE)";
    if (!column.cast_as.empty()) value = "CAST(" + value + " AS " + column.cast_as + ")";
    if (!column.convert_to.empty()) value = "CONVERT(" + value + " USING " + column.convert_to + ")";
    if (column.as_binary && column.form == HashedColumn::Form::Bytes) value = "CAST(" + value + " AS BINARY)";
    return value;
}

/// The 64-bit unsigned hash of a row of `columns` (in one order on both sides): CRC32 and CRC32C
/// of the cells' exact texts joined (a DECIMAL's digits, a temporal value with its fraction, every
/// byte of a string, binary or BIT value, 'N' for NULL), one in each half; MD5's first 64 bits on
/// servers without CRC32C (before 10.8). Both sides of a comparison must use the same form.
inline std::string row_hash(const std::vector<HashedColumn>& columns, bool crc32c) {
    std::string joined = "CONCAT_WS('|'";
    std::string lengths;  // where each cell of bytes ends (-1: NULL)
    for (const auto& column : columns) {
        const std::string value = hashed_value(column);
        switch (column.form) {
            case HashedColumn::Form::Bytes:
                joined += ", IFNULL(" + value + ", 'N')";
                lengths += ", IFNULL(LENGTH(" + value + "), -1)";
                break;
            case HashedColumn::Form::Plain:
                joined += ", IFNULL(" + value + ", 'N')";
                break;
            default:
                joined += ", IFNULL(HEX(CONCAT(" + value + ")), 'N')";
                break;
        }
    }
    if (columns.empty()) joined += ", ''";  // a row of generated columns only: its rows count alike
    joined += lengths + ")";
    // The joined text is made once per row: the left operand keeps it in a session variable for
    // the right one. Were the server to evaluate the right first, a row's low half would come from
    // the row before it: still the same on two sides that read the same rows in the same order.
    if (crc32c) return "(CRC32(@ombrix_row := " + joined + ") << 32 | CRC32C(@ombrix_row))";
    return "CAST(CONV(LEFT(MD5(" + joined + "), 16), 16, 10) AS UNSIGNED)";
}

/// The expression that reads a column's exact value for a copy: a FLOAT's text keeps six digits,
/// so it is read as DOUBLE, whose text keeps every bit and stores the same FLOAT back.
inline std::string exact_read(const std::string& quoted_name, bool is_float) {
    return is_float ? "CAST(" + quoted_name + " AS DOUBLE) AS " + quoted_name : quoted_name;
}

/// The first server version (major * 10000 + minor * 100 + patch) with CRC32C.
inline constexpr unsigned long kCrc32cVersion = 100800;

}  // namespace Ombrix::Solvane::Supports::Data
