/* The floor of the LDIF workloads: reads an LDIF schema file line by line
 * and hands every attributeTypes and objectClasses value to libldap's own
 * parser, freeing each result. Nothing is kept, sorted or written.
 *
 *   tavler_floor FILE.ldif...
 */
#include <ldap.h>
#include <ldap_schema.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

static size_t parse(const char* line, size_t* failed) {
    static const char attrs[] = "attributeTypes:";
    static const char classes[] = "objectClasses:";
    int code = 0;
    const char* error = NULL;
    if (strncasecmp(line, attrs, sizeof attrs - 1) == 0) {
        LDAPAttributeType* at = ldap_str2attributetype(line + sizeof attrs, &code, &error,
                                                       LDAP_SCHEMA_ALLOW_ALL);
        *failed += at == NULL;
        ldap_attributetype_free(at);
        return 1;
    }
    if (strncasecmp(line, classes, sizeof classes - 1) == 0) {
        LDAPObjectClass* oc = ldap_str2objectclass(line + sizeof classes, &code, &error,
                                                   LDAP_SCHEMA_ALLOW_ALL);
        *failed += oc == NULL;
        ldap_objectclass_free(oc);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    size_t parsed = 0;
    size_t failed = 0;
    char* line = NULL;
    size_t capacity = 0;
    for (int i = 1; i < argc; ++i) {
        FILE* in = fopen(argv[i], "r");
        if (in == NULL) {
            perror(argv[i]);
            return 2;
        }
        ssize_t length;
        while ((length = getline(&line, &capacity, in)) > 0) {
            parsed += parse(line, &failed);
        }
        fclose(in);
    }
    free(line);
    fprintf(stderr, "%zu values, %zu refused\n", parsed, failed);
    return failed == 0 ? 0 : 1;
}
