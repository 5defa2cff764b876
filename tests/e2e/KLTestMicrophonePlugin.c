/* A GStreamer plugin for the sample hosts the end-to-end tests start: a device provider with one
 * microphone, "Test tone", whose element is a live 440 Hz sine. A host process finds it through
 * GST_PLUGIN_PATH like any installed device, so its meeting sends a tone the other side can
 * measure, on machines with no sound card as well. */

#include <gst/gst.h>

typedef struct { GstDevice parent; } KLToneDevice;
typedef struct { GstDeviceClass parent_class; } KLToneDeviceClass;
G_DEFINE_TYPE(KLToneDevice, kl_tone_device, GST_TYPE_DEVICE)

static GstElement *kl_tone_device_create_element(GstDevice *device, const gchar *name)
{
    (void)device;
    GstElement *element = gst_element_factory_make("audiotestsrc", name);
    if (element) {
        g_object_set(element, "is-live", TRUE, "freq", 440.0, "volume", 0.5, NULL);
        gst_util_set_object_arg(G_OBJECT(element), "wave", "sine");
    }
    return element;
}

static void kl_tone_device_class_init(KLToneDeviceClass *klass)
{
    GST_DEVICE_CLASS(klass)->create_element = kl_tone_device_create_element;
}

static void kl_tone_device_init(KLToneDevice *device)
{
    (void)device;
}

typedef struct { GstDeviceProvider parent; } KLToneProvider;
typedef struct { GstDeviceProviderClass parent_class; } KLToneProviderClass;
G_DEFINE_TYPE(KLToneProvider, kl_tone_provider, GST_TYPE_DEVICE_PROVIDER)

static GList *kl_tone_provider_probe(GstDeviceProvider *provider)
{
    (void)provider;
    GstStructure *properties = gst_structure_new("properties", "node.name", G_TYPE_STRING, "kelvo-test-tone",
                                                 "is-default", G_TYPE_BOOLEAN, TRUE, NULL);
    GstCaps *caps = gst_caps_from_string("audio/x-raw");
    GstDevice *device = GST_DEVICE(g_object_new(kl_tone_device_get_type(), "display-name", "Test tone",
                                                "device-class", "Audio/Source", "caps", caps, "properties",
                                                properties, NULL));
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return g_list_append(NULL, gst_object_ref_sink(device));
}

static void kl_tone_provider_class_init(KLToneProviderClass *klass)
{
    GstDeviceProviderClass *providerClass = GST_DEVICE_PROVIDER_CLASS(klass);
    providerClass->probe = kl_tone_provider_probe;
    gst_device_provider_class_set_static_metadata(providerClass, "Kelvo test microphone", "Audio/Source",
                                                  "A microphone that sends a 440 Hz tone", "Kelvo");
}

static void kl_tone_provider_init(KLToneProvider *provider)
{
    (void)provider;
}

static gboolean plugin_init(GstPlugin *plugin)
{
    return gst_device_provider_register(plugin, "kltestmicrophone", GST_RANK_PRIMARY, kl_tone_provider_get_type());
}

/* The plugin description the macro writes leaves GStreamer's reserved fields to zero. */
#define PACKAGE "kelvo-tests"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, kltestmicrophone, "Kelvo test microphone", plugin_init,
                  "1.0", "LGPL", "KelvoUISDK tests", "https://kelvo.example")
