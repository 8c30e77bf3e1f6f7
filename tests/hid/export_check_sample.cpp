// A library with one class member and one stray function in its symbol table.
class Sample {
public:
    int Value();
};

int Sample::Value() {
    return 1;
}

int StrayHelper() {
    return 2;
}
