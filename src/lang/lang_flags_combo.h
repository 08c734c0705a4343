#pragma once

#include "lang/language_manager.h"

#include <QComboBox>

namespace nx::lang {

// The language list with flags: a drop-down of flag and name per entry of the manager.
// Picking an entry switches the language and stores the pick, then emits
// languagePicked so the window can follow (header picture, focus).
class LangFlagsCombo final : public QComboBox {
    Q_OBJECT
public:
    LangFlagsCombo(LanguageManager& manager, QWidget* parent = nullptr);

    // Where picks are stored; without a store a pick still switches the language.
    void setStore(LanguageStore* store) { store_ = store; }

signals:
    void languagePicked(int index);

private:
    void onActivated(int index);

    LanguageManager& manager_;
    LanguageStore* store_ = nullptr;
};

}  // namespace nx::lang
