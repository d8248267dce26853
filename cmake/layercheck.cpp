// Links one library whole with only the libraries it declares: it builds only when the
// library calls nothing above its layer.
int main() { return 0; }
