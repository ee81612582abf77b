/* A GTK 3 window with one text entry, for tests that type into a real field.
 *
 *   velnor-gtk-entry [TITLE] [--password]
 *
 * Standard input takes commands, one per line; each answer is one line:
 *   text          prints the entry's text
 *   set <TEXT>    replaces the text
 *   select <A> <B> selects characters A..B (B = -1: to the end)
 *   quit          prints the text and exits
 * Prints "ready" once the window is shown, and the text again on close.
 * Each change of the input method's preedit goes to standard error as
 * "preedit-changed: <TEXT>" (the field's text stays the committed text). */
#include <gtk/gtk.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static GtkWidget* entry;

static void print_text(void)
{
    printf("%s\n", gtk_entry_get_text(GTK_ENTRY(entry)));
    fflush(stdout);
}

static gboolean on_command(GIOChannel* channel, GIOCondition condition, gpointer data)
{
    (void)condition;
    (void)data;
    gchar* line = NULL;
    gsize length = 0;
    if (g_io_channel_read_line(channel, &line, &length, NULL, NULL) != G_IO_STATUS_NORMAL) {
        gtk_main_quit();
        return FALSE;
    }
    g_strchomp(line);
    if (strcmp(line, "text") == 0) {
        print_text();
    } else if (strcmp(line, "set") == 0) { /* "set " once its trailing blank is cut */
        gtk_entry_set_text(GTK_ENTRY(entry), "");
        print_text();
    } else if (strncmp(line, "set ", 4) == 0) {
        gtk_entry_set_text(GTK_ENTRY(entry), line + 4);
        print_text();
    } else if (strncmp(line, "select ", 7) == 0) {
        int start = 0;
        int end = 0;
        if (sscanf(line + 7, "%d %d", &start, &end) == 2)
            gtk_editable_select_region(GTK_EDITABLE(entry), start, end);
        print_text();
    } else if (strcmp(line, "quit") == 0) {
        print_text();
        gtk_main_quit();
    }
    g_free(line);
    return TRUE;
}

static void on_preedit_changed(GtkEntry* changed, gchar* preedit, gpointer data)
{
    (void)changed;
    (void)data;
    fprintf(stderr, "preedit-changed: %s\n", preedit);
    fflush(stderr);
}

static gboolean announce(gpointer data)
{
    (void)data;
    printf("ready\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static void on_destroy(GtkWidget* widget, gpointer data)
{
    (void)widget;
    (void)data;
    print_text();
    gtk_main_quit();
}

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), argc > 1 ? argv[1] : "velnor-gtk-entry");
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 60);
    entry = gtk_entry_new();
    if (argc > 2 && strcmp(argv[2], "--password") == 0)
        gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
    gtk_container_add(GTK_CONTAINER(window), entry);
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), NULL);
    g_signal_connect(entry, "preedit-changed", G_CALLBACK(on_preedit_changed), NULL);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    gtk_widget_grab_focus(entry);

    GIOChannel* input = g_io_channel_unix_new(0);
    g_io_channel_set_encoding(input, "UTF-8", NULL);
    g_io_add_watch(input, G_IO_IN | G_IO_HUP, on_command, NULL);
    g_idle_add(announce, NULL);
    gtk_main();
    return 0;
}
