// Program entry: filled in with the form.
int main() { return 0; }
