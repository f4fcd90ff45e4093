/// @file The MariaDB data reader, the client type mapping and the client error conversion.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/Contracts/face_reader.hpp"
#include "providers/Contracts/model_table.hpp"
#include "providers/Core/object.hpp"

struct st_mysql;
struct st_mysql_res;
struct st_mysql_field;

namespace Ombrix::Providers::Supports {

/// Closes a client connection handle.
struct OMBRIX_PROVIDERS_EXPORT ConnectionCloser {
    void operator()(st_mysql* connection) const noexcept;
};
/// Frees a client result handle.
struct OMBRIX_PROVIDERS_EXPORT ResultFreer {
    void operator()(st_mysql_res* result) const noexcept;
};
/// The owner of a client connection: closed when it goes.
using ConnectionHandle = std::unique_ptr<st_mysql, ConnectionCloser>;
/// The owner of a client result: freed when it goes.
using ResultHandle = std::unique_ptr<st_mysql_res, ResultFreer>;

/// Maps the client library's column type numbers and flags to data types and type names.
class OMBRIX_PROVIDERS_EXPORT IMariaDBType {
public:
    /// The data type of a column of client type `type` with flag bits `flags` (UNSIGNED_FLAG 32,
    /// BINARY_FLAG 128).
    static Contracts::DataType map_data_type(int type, unsigned flags);
    /// The client's name of type `type` ("TINY", "VAR_STRING", ...); "" for an unknown number.
    static std::string map_dbms_type(int type, unsigned flags);
};

/// Turns client-library failures into errors of domain "MariaDB".
class OMBRIX_PROVIDERS_EXPORT IMariaDBError {
public:
    /// Nothing for `code` 0 or when the client reports no error; otherwise logs the connection
    /// options and returns the client's error number and message.
    static std::optional<Core::Error> raise_error(st_mysql* connection, int code);
    /// Logs the connection's options at warning level as "Connection options:\n...".
    static void dump(st_mysql* connection);
};

/// Reads a MariaDB result set row by row. The reader owns the result and frees it when released.
/// A stored result stays readable whatever the connection does next; a streamed result (made by the
/// provider for its own use) must be read to the end before the connection runs anything else.
class OMBRIX_PROVIDERS_EXPORT MariaDBReader final : public Core::Object,
                                                    public Contracts::IDataReader,
                                                    public IMariaDBType,
                                                    public IMariaDBError {
public:
    /// A reader over a result of `mysql_store_result`; null (with the critical "_result_ != NULL")
    /// without a result.
    static std::shared_ptr<MariaDBReader> create(st_mysql_res* _result_);
    /// A reader over a result of `mysql_use_result` on `connection`; it measures the column sizes
    /// while reading and reports a failure of the stream from `read()`.
    static std::shared_ptr<MariaDBReader> create_streamed(st_mysql_res* result, st_mysql* connection);
    ~MariaDBReader() override;

    OMBRIX_OBJECT(MariaDBReader, Core::Object);

    /// Does nothing; 0.
    std::int64_t bulk(std::int32_t size) override;
    [[nodiscard]] Core::Result<bool> read() override;
    void close() override;
    std::string get_name(std::uint16_t index) const override;
    std::string get_dbms_type(std::uint16_t index) const override;
    /// The client type mapped by `map_data_type`, binary only for the binary character set; JSON
    /// for a column the server marks as JSON.
    Contracts::DataType get_data_type(std::uint16_t index) const override;
    /// The longest cell of the column among the rows of this result.
    std::uint64_t get_size(std::uint16_t index) const override;
    /// The column's number of decimals.
    std::uint32_t get_decimals_size(std::uint16_t index) const;
    bool is_null(std::uint16_t index) const override;
    bool get_boolean(std::uint16_t index) const override;
    std::int8_t get_int8(std::uint16_t index) const override;
    std::uint8_t get_uint8(std::uint16_t index) const override;
    std::int16_t get_int16(std::uint16_t index) const override;
    std::uint16_t get_uint16(std::uint16_t index) const override;
    std::int32_t get_int32(std::uint16_t index) const override;
    std::uint32_t get_uint32(std::uint16_t index) const override;
    std::int64_t get_int64(std::uint16_t index) const override;
    std::uint64_t get_uint64(std::uint16_t index) const override;
    double get_decimal(std::uint16_t index) const override;
    double get_money(std::uint16_t index) const override;
    float get_float(std::uint16_t index) const override;
    double get_double(std::uint16_t index) const override;
    Core::Date get_date(std::uint16_t index) const override;
    Core::DateTime get_time(std::uint16_t index) const override;
    Core::DateTime get_datetime(std::uint16_t index) const override;
    std::int64_t get_timespan(std::uint16_t index) const override;
    /// Exactly the cell's bytes (zero bytes included).
    std::string get_string(std::uint16_t index) const override;
    std::string get_string16(std::uint16_t index) const override;
    std::string get_guid(std::uint16_t index) const override;
    /// Exactly the cell's n bytes.
    Core::Bytes get_binary(std::uint16_t index) const override;
    Core::DateTime get_timestamp(std::uint16_t index) const override;
    std::string get_enum(std::uint16_t index) const override;
    std::string get_set(std::uint16_t index) const override;
    std::string get_json(std::uint16_t index) const override;
    /// The cell as a value that keeps what the server sent: DECIMAL and floating digits as sent,
    /// date-times at their wall-clock time, zero dates and out-of-day TIME values as their text,
    /// JSON text, GEOMETRY bytes; never null.
    [[nodiscard]] Core::Result<Contracts::ValuePtr> get_value(std::uint16_t index) const override;
    OMBRIX_PROPERTY_READONLY(std::int32_t, field_count, 0);
    OMBRIX_PROPERTY_READONLY(bool, is_closed, false);
    std::int32_t get_field_count() const override { return static_cast<std::int32_t>(m_field_count); }
    /// Every remaining row in a model whose rows keep their cells packed until first read.
    [[nodiscard]] Core::Result<std::shared_ptr<Contracts::TableModel>> read_model();
    /// The value of a cell of `type` as the server sent it (`text`, not NULL).
    static Contracts::ValuePtr decode_cell(Contracts::DataType type, std::string_view text);
    /// The bytes of a cell of the current row as the server sent them, without a copy; a view with
    /// a null data pointer for NULL. Valid until the next `read`.
    std::string_view get_cell_view(std::uint16_t index) const {
        return m_row && index < m_field_count && m_row[index] ? std::string_view(m_row[index], m_lengths[index])
                                                               : std::string_view();
    }
    /// Whether the column comes in the binary character set: BINARY, VARBINARY, the BLOBs, BIT and
    /// GEOMETRY, but also numbers and date-times; a text column's bytes are bytes only then.
    bool get_is_binary(std::uint16_t index) const;
    /// Whether every row has been read (or the rest discarded by `close`).
    bool get_is_closed() const override;

private:
    MariaDBReader() = default;
    std::string_view cell(std::uint16_t index) const;
    /// A numeric getter's text; a NULL cell writes the parser's critical and gives nothing.
    /// The cell at `index` read as an integer of type T (0 when it is missing).
    template <class T>
    T get_integer(std::uint16_t index) const;
    std::optional<std::string_view> number_text(std::uint16_t index, const char* parser) const;

    ResultHandle m_result;
    st_mysql* m_stream = nullptr;  // the connection of a streamed result, else null
    st_mysql_field* m_fields = nullptr;
    unsigned m_field_count = 0;
    char** m_row = nullptr;
    unsigned long* m_lengths = nullptr;
    std::vector<std::uint64_t> m_sizes;  // measured while streaming
    bool m_done = false;
};

}  // namespace Ombrix::Providers::Supports
