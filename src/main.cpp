// Thin entry point: everything lives in the subsystem libraries.
int main(int argc, char** argv) {
  (void)argc;
  (void)argv;
  return 0;
}
