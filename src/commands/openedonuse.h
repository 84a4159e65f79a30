#pragma once
// The file a command works on: opened on first use and kept until the command is done with, its
// long statements asking keepGoing now and then.

#include "store/store.h"

#include <optional>

namespace olv {

class OpenedOnUse {
public:
    OpenedOnUse(const Store& store, KeepGoing keepGoing) : m_store(store), m_keepGoing(std::move(keepGoing)) {}

    Database& get() {
        if (!m_db) {
            m_db.emplace(m_store.open());
            if (m_keepGoing) m_db->setKeepGoing(m_keepGoing);
        }
        return *m_db;
    }
    const KeepGoing& keepGoing() const { return m_keepGoing; }

private:
    const Store& m_store;
    KeepGoing m_keepGoing;
    std::optional<Database> m_db;
};

} // namespace olv
