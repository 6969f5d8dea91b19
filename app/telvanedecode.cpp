// Placeholder until the command-line decoder is built.
int main()
{
    return 0;
}
