#pragma once
// A node with a name: stations, machines, measurements and everything below them.

#include <string>
#include <string_view>

#include "archive/DBLevel.hpp"

namespace velmar::archive {

// Orders two names as the browser lists them: ignoring case (Latin and Cyrillic), Ё beside Е.
CompareResult CompareNamesNoCase(std::string_view a, std::string_view b);

class TNamedDBLevel : public TDBLevel {
  public:
    static constexpr int kMaxNameLength = 60;
    static constexpr std::uint16_t kDefaultFlags = 159;

    // The name is cut to kMaxNameLength characters.
    TNamedDBLevel(ArchiveContext& context, TDBLevel* parent, std::string_view name);

    std::string GetName() const override;
    // Exact, case-sensitive equality.
    virtual bool HasName(std::string_view name) const;
    // Writes a new name into the node's files; false (and the kind has told the user why) when it could
    // not. The base has nothing to write.
    virtual bool StoreName(const std::string& name);
    // Takes a new name (cut to kMaxNameLength): stores it (StoreName) and tells the views when it differs.
    // When it cannot be stored the old name stays and the result is false.
    bool SetName(std::string_view name);
    // Whether a name can be given to a node at all: not blank, not "?" (which reads back as "no name").
    static bool IsAcceptableName(std::string_view name);

    // Asks for a name until it is acceptable and no sibling has it, or the user cancels or leaves it as
    // offered. Blanks at both ends are dropped.
    RenameResult Rename() override;
    bool EditText(const std::string& prompt, std::string& text, int helpContext, int maxLength,
                  int resultLength) override;
    int MaxTextLength(int prompt) const override;
    CompareResult Compare(const TDBLevel* other) const override;
    bool DiffersFrom(const TDBLevel& other) const override;

  protected:
    // Sets the name without storing it or telling anyone (for kinds reading their files).
    void AssignName(std::string_view name);

  private:
    std::string name_;
};

}  // namespace velmar::archive
