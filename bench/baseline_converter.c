/* The yardstick for the benchmark: the straightforward conversion, as plain
 * C-style code writes it, one fscanf("%d") per value read and one fprintf per
 * field written, with a successor store that grows as it fills. Same dialogue
 * and same output bytes as the converter for valid input; no checks beyond the
 * two opens. Not a product. */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    char input_path[200], output_path[200];
    printf("Enter input path\n");
    fflush(stdout);
    if (scanf("%199s", input_path) != 1) return 1;
    printf("Enter output path\n");
    fflush(stdout);
    if (scanf("%199s", output_path) != 1) return 1;
    FILE* input = fopen(input_path, "r");
    if (input == NULL) {
        printf("Couldn't read input file. Check path.");
        return 1;
    }
    FILE* output = fopen(output_path, "w+");
    if (output == NULL) {
        printf("Couln't write output file. Check path.");
        return 1;
    }

    int n = 0, r = 0;
    if (fscanf(input, "%d", &n) != 1 || fscanf(input, "%d", &r) != 1) return 1;
    size_t activities = n > 0 ? (size_t)n : 0, resources = r > 0 ? (size_t)r : 0;
    int* durations = (int*)malloc((activities + 1) * sizeof(int));
    int* capacities = (int*)malloc((resources + 1) * sizeof(int));
    int* demands = (int*)malloc((activities * resources + 1) * sizeof(int));
    int* successor_counts = (int*)malloc((activities + 1) * sizeof(int));
    size_t successor_capacity = 1024, successor_total = 0;
    int* successors = (int*)malloc(successor_capacity * sizeof(int));

    for (size_t k = 0; k < resources; ++k)
        if (fscanf(input, "%d", &capacities[k]) != 1) return 1;
    size_t demand_cursor = 0;
    for (size_t i = 0; i < activities; ++i) {
        if (fscanf(input, "%d", &durations[i]) != 1) return 1;
        for (size_t k = 0; k < resources; ++k)
            if (fscanf(input, "%d", &demands[demand_cursor++]) != 1) return 1;
        if (fscanf(input, "%d", &successor_counts[i]) != 1) return 1;
        for (int j = 0; j < successor_counts[i]; ++j) {
            int successor = 0;
            if (fscanf(input, "%d", &successor) != 1) return 1;
            if (successor_total == successor_capacity) {
                successor_capacity *= 2;
                successors = (int*)realloc(successors, successor_capacity * sizeof(int));
            }
            successors[successor_total++] = successor - 1;
        }
    }

    fprintf(output, "%lld", (long long)n - 2);
    fprintf(output, "\t%d", r);
    fprintf(output, "\t0\t0\n");
    size_t successor_cursor = 0;
    for (size_t i = 0; i < activities; ++i) {
        fprintf(output, "%d", (int)i);
        fprintf(output, "\t1");
        fprintf(output, "\t%d", successor_counts[i]);
        for (int j = 0; j < successor_counts[i]; ++j) fprintf(output, "\t%d", successors[successor_cursor + j]);
        for (int j = 0; j < successor_counts[i]; ++j) fprintf(output, "\t[%d]", durations[i]);
        if (successor_counts[i] > 0) successor_cursor += (size_t)successor_counts[i];
        fprintf(output, "\n");
    }
    demand_cursor = 0;
    for (size_t i = 0; i < activities; ++i) {
        fprintf(output, "%d", (int)i);
        fprintf(output, "\t1");
        fprintf(output, "\t%d", durations[i]);
        for (size_t k = 0; k < resources; ++k) fprintf(output, "\t%d", demands[demand_cursor++]);
        fprintf(output, "\n");
    }
    for (size_t k = 0; k < resources; ++k) fprintf(output, "%d\t", capacities[k]);

    free(durations);
    free(capacities);
    free(demands);
    free(successors);
    free(successor_counts);
    fclose(input);
    return fclose(output) == 0 ? 0 : 1;
}
