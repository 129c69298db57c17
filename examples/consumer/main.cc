// Creates an embedded profile database, creates a standard profile in it
// and prints the component's error state and the owner's profiles.
//   consumer <new database file>
#include <iostream>
#include <string>

#include "migprof/handle_mig_prof.h"
#include "migprof/schema.h"
#include "migprof/version.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer <new database file>\n";
    return 2;
  }
  const std::string path = argv[1];
  try {
    migprof::schema::CreateEmbeddedDatabase(path);
  } catch (const migprof::ComError& error) {
    std::cerr << "cannot create " << path << ": " << error.description() << "\n";
    return 1;
  }

  migprof::TOVRHandleMigProf profiles;
  profiles.DatabaseName("sqlite:" + path);
  const bool created = profiles
                           .InsertInMap100(1, "Orders", "LEGACY", "ORVO", "100", "01", "STD", "__",
                                           "N", "Order entry", "alice")
                           .IsTrue();
  std::cout << "migprof " << MIGPROF_VERSION << "\n"
            << "InsertInMap100: " << (created ? "True" : "False") << "\n"
            << "ErrorNumber: " << profiles.ErrorNumber() << "\n"
            << "ErrDescription: " << profiles.ErrDescription() << "\n"
            << "GetUserOwnerProfiles(alice): " << profiles.GetUserOwnerProfiles("alice") << "\n";
  return created ? 0 : 1;
}
