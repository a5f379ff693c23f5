#pragma once

// The kinds of values a field holds.
enum class FieldType {
    Unknown,
    Integer,
    LargeInt,
    Float,
    String,
    Date,
    Time,
    DateTime,
    Blob,
    Memo,
    Boolean
};
