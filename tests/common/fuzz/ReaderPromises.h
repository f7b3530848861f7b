#pragma once

#include "common/ConfigFormat.h"

#include <cmath>

namespace zen::config::test {

// What the reader promises for any input: every call that is not at the end consumes input (so
// reading can never hang), the end reads as "", numeric reads stay finite, and every field the
// writer can hold reads back unchanged after writing. Shared by the fuzzer and the unit tests.
inline bool keepsReaderPromises(QByteArrayView bytes) {
    FieldReader reader(bytes);
    QStringList fields;
    for (qsizetype calls = 0; !reader.atEnd(); ++calls) {
        if (calls > bytes.size()) return false;
        fields << reader.next();
    }
    if (!reader.next().isEmpty()) return false;

    QStringList representable;
    for (const QString& field : fields) {
        if (!std::isfinite(leadingNumber(field))) return false;
        if (isRepresentable(field)) representable << field;
    }
    const QByteArray written = encodeFields(representable);
    FieldReader again(written);
    for (const QString& field : representable)
        if (again.next() != field) return false;
    return again.atEnd();
}

} // namespace zen::config::test
