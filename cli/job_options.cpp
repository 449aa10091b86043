#include "cli/job_options.h"

void AddJobOptions(CLI::App& app, CliOptions& options) {
  app.add_option("--job", options.job,
                 "the product's production job: a TOML file with the product, the firmware, the "
                 "store and each device's fields (paths relative to its folder); the command line "
                 "adds only what belongs to this PC and run")
      ->type_name("FILE");
  auto* import = app.add_option("--import-list", options.importList,
                                "import the items of FILE (one per line) into the list NAME of the "
                                "store, all or none, instead of flashing")
                     ->type_name("NAME FILE")->expected(2)->excludes("--report");
  auto* kind = app.add_option("--list-kind", options.listKind,
                              "with --import-list: how items are read: hex, text or number")
                   ->type_name("KIND")->check(CLI::IsMember({"hex", "text", "number"}))->needs(import);
  import->needs(kind);
  app.add_option("--list-length", options.listLength,
                 "with --import-list: hex: the bytes of each item; text: its most characters")
      ->type_name("N")->check(CLI::Range(1u, 4096u))->needs(import);
  app.add_option("--list-column", options.listColumn,
                 "with --import-list: the file is CSV with a header row; the items are this column")
      ->type_name("NAME")->needs(import);
  app.add_flag("--secret", options.secretList,
               "with --import-list: the list is secret: records and logs hold only fingerprints, "
               "and an item given is replaced in the store by its SHA-256")
      ->needs(import);
  app.add_flag("--lists", options.lists, "show the store's lists (kind, items, given, left) and exit")
      ->excludes(import)->excludes("--report");
}
