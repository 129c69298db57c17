// The refusal codes and texts of the profile members, exactly as the front
// end shows them (HTML mark-up included), and the refusal that ends a member
// early.
#ifndef MIGPROF_PROFILES_PROFILE_MESSAGES_H_
#define MIGPROF_PROFILES_PROFILE_MESSAGES_H_

#include "migprof/automation.h"

namespace migprof::profiles {

// Derivation rule: source or target applications of different kinds.
inline constexpr int kHeterogeneousDerivation = 101;
inline constexpr const char* kSourceKindsDiffer =
    "Source application of Parent profile and Source application of Current profile are of "
    "different types. Cannot have heterogeneous derivation of profiles. <LI> Source of Current "
    "and Derived profiles should be of same type.";
inline constexpr const char* kTargetKindsDiffer =
    "Target application of Parent profile and Target application of Current profile are of "
    "different types. Cannot have heterogeneous derivation of profiles. <LI> Target of Current "
    "and Derived profiles should be of same type.";

// Creation.
inline constexpr int kUMissingInVersion = 102;
inline constexpr const char* kUMissingInVersionText =
    "Character <B> U </B> should be present in the Version part and should be 4th Character, if "
    "Source and Target Application are same as Parent's Source and Target Application.";
inline constexpr int kUNotAllowedInVersion = 103;
inline constexpr const char* kUNotAllowedInVersionText =
    "Cannot have special character <B> U </B> in the Version part if Source and Target "
    "Application are different from Parent Source and Target Application.";
inline constexpr int kNumberExists = 104;
inline constexpr const char* kNumberExistsText = "Profile already exists with same profile number.";
inline constexpr int kVrcExists = 105;
inline constexpr const char* kVrcExistsText =
    "Profile already exists with same Version, Release and Customer.";
inline constexpr int kUInStandardVersion = 106;
inline constexpr const char* kUInStandardVersionText =
    "Standard Profile cannot have the special character <B> U  </B>in the Version Part.";
inline constexpr int kLevelsNotWritten = 107;
inline constexpr int kInvalidUser = 108;
inline constexpr const char* kInvalidUserText = "Invalid User.";
inline constexpr int kPairExists = 109;
// Between the two parts: "{mprf}[{vers}_{rele}_{cust}]" of the existing
// profile.
inline constexpr const char* kPairExistsBefore = "Profile <B> ";
inline constexpr const char* kPairExistsAfter =
    "  </B> already exists with same Source and Target Application.<LI>Profile should be derived "
    "from above profile to have Same Source and Target Application.";
// Texts InsertDerivationLevels leaves for code 107.
inline constexpr const char* kLevelExistsText = "Record Already Exists.";
inline constexpr const char* kLevelLookupFailedText = "Errors Occured While Retrieving Records";

// Deletion.
inline constexpr int kIsParentProfile = 2;
inline constexpr const char* kIsParentProfileText =
    "Selected Profile is a Parent Profile, Cannot Delete the Parent Profile.";

// Queries.
inline constexpr const char* kQueryFailedText = "Errors Occured.";

// A refusal found by one of the checks of a member: the member records code
// (when it has one) and text and returns its failure value.
struct Refusal {
  int code;
  String text;
};

}  // namespace migprof::profiles

#endif  // MIGPROF_PROFILES_PROFILE_MESSAGES_H_
