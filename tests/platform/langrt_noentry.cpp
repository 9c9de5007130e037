// A library that loads but is no language library: it lacks the entry point.
extern "C" int NotALanguageEntry() {
  return 1;
}
