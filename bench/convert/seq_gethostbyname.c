/* The fastest one-at-a-time reference for name-to-address conversion: reads names, one a
 * line, and looks each up with gethostbyname in turn, in this one process. Prints how many
 * were found and how many addresses they had, to standard error. */
#include <netdb.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s NAMES_FILE\n", argv[0]);
        return 2;
    }
    FILE* names = fopen(argv[1], "r");
    if (names == NULL) {
        perror(argv[1]);
        return 2;
    }
    char line[1024];
    long total = 0, found = 0, addresses = 0;
    while (fgets(line, sizeof line, names) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        ++total;
        const struct hostent* host = gethostbyname(line);
        if (host == NULL) {
            continue;
        }
        ++found;
        for (char** address = host->h_addr_list; *address != NULL; ++address) {
            ++addresses;
        }
    }
    fclose(names);
    fprintf(stderr, "names %ld, found %ld, addresses %ld\n", total, found, addresses);
    return 0;
}
