#pragma once

// Opening a diary file: with the key that last opened it in this run, else a key that opened
// another file with its salt (a copy of the diary), else the built-in key, else the key of a
// password of the user's own, asked for through the prompt seam. To the engine
// a wrong key and a damaged first page look the same; the second page tells them apart: when it
// is under the built-in key, nobody is asked and the diary is damaged, and when it is under the
// password the user typed, the asking ends there and the diary is damaged. When that page is
// damaged too, giving up after a refused password reports the file as damaged or the password
// as wrong, as the store always has.

#include "core/result.h"
#include "core/store/diarykey.h"
#include "core/store/statements.h"

namespace store {

// How a file is opened. Read-only for a file that must stay as it is (a backup): the engine then
// never rolls back a journal found beside it. Without asking, a file that no key of this run opens
// fails as damaged.
struct Opening {
    bool readOnly = false;
    bool mayAsk = true;
};

// Opens an existing diary read-write and checks by its schema that it is one (core/schemacheck.h)
// before any query touches a table.
// `asked` is set when the user was asked for its password.
Result<Connection> openDiary(const QString &path, bool *asked = nullptr, Opening how = {});

// Opens with this key only; `keyRefused` is set when the first page did not open with it.
Result<Connection> openWithKey(const QString &path, const RawKey &key, bool *keyRefused = nullptr, Opening how = {});

} // namespace store
