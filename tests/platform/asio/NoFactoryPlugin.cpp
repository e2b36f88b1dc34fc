// A shared library that loads but exports no driver factory.
extern "C" int KerrionSomethingElse() { return 7; }
