// Linked with the whole of one layer's library and the layers below it only:
// a layer that calls into a layer above it fails to link.
int main() { return 0; }
