/*
 * Prints the sum of the numbers given on the command line.
 */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    long sum = 0;

    for (int i = 1; i < argc; i++) {
        sum += strtol(argv[i], NULL, 10);   /* no error checks */
    }
    // one line of output
    printf("%ld\n", sum);
    return 0;
}
