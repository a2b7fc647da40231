/* A tiny program for counting failed process starts under Wine.
 *   wine-start-probe child          writes "ok" and ends with 0
 *   wine-start-probe sleep S        ends with 0 after S seconds (to look at a running process)
 *   wine-start-probe spawn N P      starts itself as a child N times, P at a time, with
 *                                   CreateProcess, and counts the starts that failed (with the
 *                                   system's error) and the children that ended other than with 0
 *                                   or without their "ok". Ends with 1 when any did. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

struct child
{
    HANDLE process;
    HANDLE output;
};

static int finish(struct child* c, int* bad_exit, int* silent)
{
    DWORD code = 0;
    char text[64];
    DWORD got = 0, total = 0;
    WaitForSingleObject(c->process, INFINITE);
    GetExitCodeProcess(c->process, &code);
    while (total < sizeof text - 1 &&
           ReadFile(c->output, text + total, sizeof text - 1 - total, &got, NULL) && got)
        total += got;
    text[total] = 0;
    CloseHandle(c->process);
    CloseHandle(c->output);
    if (code != 0) {
        ++*bad_exit;
        printf("child ended with exit code %lu%s\n", code, total ? "" : " and no output");
        return 1;
    }
    if (!strstr(text, "ok")) {
        ++*silent;
        printf("child ended with 0 and no \"ok\"\n");
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && !strcmp(argv[1], "child")) {
        printf("ok\n");
        return 0;
    }
    if (argc >= 3 && !strcmp(argv[1], "sleep")) {
        Sleep(atoi(argv[2]) * 1000);
        return 0;
    }
    if (argc < 4 || strcmp(argv[1], "spawn")) {
        fprintf(stderr, "usage: %s child | spawn COUNT PARALLEL\n", argv[0]);
        return 2;
    }
    const int count = atoi(argv[2]);
    int parallel = atoi(argv[3]);
    if (parallel < 1 || parallel > MAXIMUM_WAIT_OBJECTS)
        parallel = 1;

    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    char command[MAX_PATH + 32];
    snprintf(command, sizeof command, "\"%s\" child", self);

    struct child running[MAXIMUM_WAIT_OBJECTS];
    int active = 0, started = 0, create_failed = 0, bad_exit = 0, silent = 0;
    while (started < count || active) {
        while (started < count && active < parallel) {
            ++started;
            SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
            HANDLE read_end, write_end;
            if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
                printf("CreatePipe failed: error %lu\n", GetLastError());
                return 2;
            }
            SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
            STARTUPINFOA si;
            memset(&si, 0, sizeof si);
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = write_end;
            si.hStdError = write_end;
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            PROCESS_INFORMATION pi;
            if (!CreateProcessA(self, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi)) {
                ++create_failed;
                printf("CreateProcess failed: error %lu\n", GetLastError());
                CloseHandle(read_end);
                CloseHandle(write_end);
                continue;
            }
            CloseHandle(write_end);
            CloseHandle(pi.hThread);
            running[active].process = pi.hProcess;
            running[active].output = read_end;
            ++active;
        }
        if (!active)
            break;
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        for (int i = 0; i < active; ++i)
            handles[i] = running[i].process;
        const DWORD which = WaitForMultipleObjects(active, handles, FALSE, INFINITE) - WAIT_OBJECT_0;
        finish(&running[which], &bad_exit, &silent);
        running[which] = running[--active];
    }
    printf("spawn: %d starts, %d CreateProcess failures, %d bad exit codes, %d without output\n", count,
           create_failed, bad_exit, silent);
    fflush(stdout);
    return create_failed || bad_exit || silent ? 1 : 0;
}
