#pragma once

#include "lang/language_manager.h"
#include "store/database.h"

namespace nx::lang {

// The stored choice in the configuration row of the measurement database.
class DatabaseLanguageStore final : public LanguageStore {
public:
    explicit DatabaseLanguageStore(nx::store::Database& database) : database_(database) {}

    int readLanguage() override { return database_.readLanguage(); }
    void writeLanguage(int index) override { database_.writeLanguage(index); }

private:
    nx::store::Database& database_;
};

}  // namespace nx::lang
