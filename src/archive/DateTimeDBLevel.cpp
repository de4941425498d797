#include "archive/DateTimeDBLevel.hpp"

namespace velmar::archive {

CompareResult TDateTimeDBLevel::Compare(const TDBLevel* other) const {
    const CompareResult byLevel = CompareLevelKind(other);
    if (byLevel != CompareResult::Equal || other == nullptr) {
        return byLevel;
    }
    const double own = GetDateTime();
    const double theirs = other->GetDateTime();
    if (own < theirs) {
        return CompareResult::Less;
    }
    return own > theirs ? CompareResult::Greater : CompareResult::Equal;
}

}  // namespace velmar::archive
