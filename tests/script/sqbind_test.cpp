#include <gtest/gtest.h>

#include "script/sq_vec4f.h"
#include "script_test_util.h"

using sqbind::SquirrelError;

namespace
{
// A native class that scripts create and own.
struct Widget
{
  static int alive;
  float value = 0;
  Widget() { alive++; }
  ~Widget() { alive--; }
  float getValue() const { return value; }
  void setValue(float x) { value = x; }
  float addTo(Widget *other) { return value + (other ? other->value : -1000.f); }
};
int Widget::alive = 0;
struct WidgetTag;
}  // namespace

template <>
struct sqbind::SqClassInfo<Widget>
{
  using Tag = WidgetTag;
  static constexpr const char *name = "Widget";
  static SQInteger release(SQUserPointer p, SQInteger)
  {
    delete static_cast<Widget *>(p);
    return 0;
  }
};

namespace
{
void widget_ctor(HSQUIRRELVM v, float x)
{
  Widget *p = new Widget;
  p->value = x;
  sqbind::init_instance(p, v, &sqbind::SqClassInfo<Widget>::release);
}
Widget *make_widget(float x)
{
  Widget *w = new Widget;
  w->value = x;
  return w;
}
float add(float a, float b) { return a + b; }
int twice(int a) { return a * 2; }
SQInteger big(SQInteger a) { return a + 1; }
const char *echo(const char *s) { return s; }
float vec_x(vec4f a) { return v_extract_x(a); }
vec4f make_v(float x) { return v_make(x, x + 1, x + 2, x + 3); }
vec4f value_v(Vec4Value a) { return a.v; }
bool widget_is_null(Widget *w) { return w == nullptr; }
float depth_of(HSQUIRRELVM v, float x) { return float(sq_gettop(v)) + x; }
void fail_always(float) { throw SquirrelError("native failure"); }
void no_op() {}

// Calls the script function `cb` from native code: script -> native -> script -> native.
float call_back(HSQUIRRELVM v, float x)
{
  SqFunc<float> f;
  f.lookup(v, sqbind::root_table(v), "cb");
  return f(x) + 1000.f;
}

struct BindTest : ScriptTest
{
  SqObject widget_cls;

  void SetUp() override
  {
    ScriptTest::SetUp();
    SqObject root = sqbind::root_table(v);
    SqObject vcls = sqbind::create_class(v, "vec4f", nullptr, sqbind::tag_of<SqVec4f>());
    widget_cls = sqbind::create_class(v, "Widget", nullptr, sqbind::tag_of<WidgetTag>());
    sqbind::bind_ctor(widget_cls, &widget_ctor);
    sqbind::bind_method(widget_cls, "getValue", &Widget::getValue);
    sqbind::bind_method(widget_cls, "setValue", &Widget::setValue);
    sqbind::bind_method(widget_cls, "addTo", &Widget::addTo);
    sqbind::bind_function(v, widget_cls, "make", &make_widget);
    sqbind::bind_function(v, root, "add", &add);
    sqbind::bind_function(v, root, "twice", &twice);
    sqbind::bind_function(v, root, "big", &big);
    sqbind::bind_function(v, root, "echo", &echo);
    sqbind::bind_function(v, root, "vec_x", &vec_x);
    sqbind::bind_function(v, root, "make_v", &make_v);
    sqbind::bind_function(v, root, "value_v", &value_v);
    sqbind::bind_function(v, root, "widget_is_null", &widget_is_null);
    sqbind::bind_function(v, root, "depth_of", &depth_of);
    sqbind::bind_function(v, root, "fail_always", &fail_always);
    sqbind::bind_function(v, root, "no_op", &no_op);
    sqbind::bind_function(v, root, "call_back", &call_back);
  }
  void TearDown() override
  {
    widget_cls.release();
    ScriptTest::TearDown();
    EXPECT_EQ(Widget::alive, 0);
  }
};
}  // namespace

TEST_F(BindTest, ArgumentsAndResultsConvert)
{
  ASSERT_TRUE(exec(R"(
    function f1() { return add(1, 2.5) }
    function f2() { return twice(21) == 42 && big(0x7fffffffff) == 0x8000000000 }
    function f3() { return echo("abc") == "abc" }
    function f4() { return vec_x(make_v(3)) + vec_x(make_v(4)) }
    function f5() { local a = value_v([1, 2, 3, 4]); local b = value_v(2); local c = value_v(make_v(5));
                    return vec_x(a) + vec_x(b) * 10 + vec_x(c) * 100 }
    function f6() { return widget_is_null(null) }
    function f7() { return depth_of(0.5) }
  )"));
  EXPECT_FLOAT_EQ(callFloat("f1"), 3.5f);
  EXPECT_TRUE(func<bool>("f2")());
  EXPECT_TRUE(func<bool>("f3")());
  EXPECT_FLOAT_EQ(callFloat("f4"), 3.f + 4.f);
  EXPECT_FLOAT_EQ(callFloat("f5"), 1 + 20 + 500);
  EXPECT_TRUE(func<bool>("f6")());
  // The machine parameter takes no stack position: stack = this, 0.5.
  EXPECT_FLOAT_EQ(callFloat("f7"), 2.5f);
}

TEST_F(BindTest, BadArgumentsReachTheNativeCallerWithTheirText)
{
  ASSERT_TRUE(exec(R"(
    function s_for_f() { add("x", 1) }
    function missing() { add(1) }
    function num_for_v() { vec_x(1.0) }
    function v_for_widget() { widget_is_null(make_v(0)) }
    function bad_array() { value_v([1, 2, "z", 4]) }
    function table_for_v() { value_v({}) }
    function bool_for_int() { twice(true) }
  )"));
  EXPECT_EQ(errorOf("s_for_f"), "sq_get*() failed (type error)");
  EXPECT_EQ(errorOf("missing"), "sq_get*() failed (type error)");
  EXPECT_EQ(errorOf("num_for_v"), "getInst: invalid argument type");
  EXPECT_EQ(errorOf("v_for_widget"), "getInst: invalid argument type");
  EXPECT_EQ(errorOf("bad_array"), "sq_get*() failed (type error)");
  EXPECT_EQ(errorOf("table_for_v"), "getInst: invalid argument type");
  EXPECT_EQ(errorOf("bool_for_int"), "sq_get*() failed (type error)");
}

TEST_F(BindTest, ScriptsCanCatchNativeErrors)
{
  ASSERT_TRUE(exec(R"(
    function f() { try { add("x", 1) } catch (e) { return e } return "none" }
    function g() { try { fail_always(1) } catch (e) { throw "wrapped: " + e } }
  )"));
  SqFunc<SqObject> f = func<SqObject>("f");
  SqObject r = f();
  const SQChar *s = nullptr;
  sq_pushobject(v, r.o);
  sq_getstring(v, -1, &s);
  EXPECT_STREQ(s, "sq_get*() failed (type error)");
  sq_pop(v, 1);
  // A script error of the script's own reaches the native caller with its text.
  EXPECT_EQ(errorOf("g"), "wrapped: native failure");
}

// Squirrel is built without exception support: an exception unwinding through its frames would
// skip its bookkeeping (call frames, native-call depth, stack top). Errors are handed over at
// the trampoline boundary instead, so the machine stays usable after any number of them.
TEST_F(BindTest, ManyNativeErrorsLeaveTheMachineIntact)
{
  ASSERT_TRUE(exec(R"(
    function bad() { fail_always(1) }
    function cb(x) { return add(x, 1) }
    function nested() { return call_back(5) }
    function deep(n) { return n == 0 ? call_back(1) : deep(n - 1) }
  )"));
  SQInteger top = sq_gettop(v);
  std::string out = captured([&] {
    for (int i = 0; i < 300; i++)
      ASSERT_EQ(errorOf("bad"), "native failure");
  });
  EXPECT_NE(out.find("ERROR: native failure (in bad())"), std::string::npos);
  EXPECT_EQ(sq_gettop(v), top);
  EXPECT_FLOAT_EQ(callFloat("nested"), 1006.f);
  SqFunc<float> deep = func<float>("deep");
  EXPECT_FLOAT_EQ(deep(50.f), 1002.f);
  EXPECT_EQ(sq_gettop(v), top);
  // A failure inside the nested script call surfaces at the outer caller with its text.
  ASSERT_TRUE(exec("function cb(x) { return add(x, \"y\") }"));
  std::string err;
  captured([&] { err = errorOf("nested"); });
  EXPECT_EQ(err, "sq_get*() failed (type error)");
  EXPECT_EQ(sq_gettop(v), top);
}

TEST_F(BindTest, MethodsCheckTheirReceiver)
{
  ASSERT_TRUE(exec(R"(
    function ok() { local w = Widget(2); w.setValue(w.getValue() + 1); return w.addTo(Widget(10)) + w.addTo(null) }
    function wrong_this() { Widget.getValue.call({}) }
    function raw_instance() { Widget.instance().getValue() }
    function static_make() { return Widget.make(7).getValue() }
  )"));
  EXPECT_FLOAT_EQ(callFloat("ok"), 13.f + (3.f - 1000.f));
  std::string e1, e2;
  captured([&] {
    e1 = errorOf("wrong_this");
    e2 = errorOf("raw_instance");
  });
  EXPECT_EQ(e1, "invalid 'this' in C++ method call");  // a script-level error raised by the trampoline
  EXPECT_EQ(e2, "invalid 'this' in C++ method call");
  EXPECT_FLOAT_EQ(callFloat("static_make"), 7.f);
}

// The constructor fills only a fresh instance of its own class (or of a script class derived from
// it): run on another object it would swap that object's native payload, run twice it would leak.
TEST_F(BindTest, ConstructorsRefuseInstancesTheyDoNotOwn)
{
  ASSERT_TRUE(exec(R"(
    class Derived extends Widget { constructor(x) { base.constructor(x * 2) } }
    function derived() { return Derived(4).getValue() }
    kept <- Widget(1)
    function twice() { Widget.constructor.call(kept, 5) }
    function on_table() { Widget.constructor.call({}, 5) }
    function on_other_class() { local v = make_v(1); Widget.constructor.call(v, 5) }
  )"));
  EXPECT_FLOAT_EQ(callFloat("derived"), 8.f);
  std::string e[3];
  captured([&] {
    e[0] = errorOf("twice");
    e[1] = errorOf("on_table");
    e[2] = errorOf("on_other_class");
  });
  EXPECT_EQ(e[0], "C++ ctor called on an instance that already has its object");
  EXPECT_EQ(e[1], "invalid 'this' in C++ ctor call");
  EXPECT_EQ(e[2], "invalid 'this' in C++ ctor call");
  EXPECT_EQ(Widget::alive, 1);  // nothing leaked, nothing swapped
  ASSERT_TRUE(exec("function value() { return kept.getValue() }"));
  EXPECT_FLOAT_EQ(callFloat("value"), 1.f);
}

TEST_F(BindTest, ReleaseHooksFreeNativeObjectsWhenInstancesDie)
{
  ASSERT_TRUE(exec(R"(
    kept <- null
    function make_some() { local a = Widget(1); local b = Widget.make(2); kept = Widget(3) }
    function drop() { kept = null }
  )"));
  func<void>("make_some")();
  EXPECT_EQ(Widget::alive, 1);
  func<void>("drop")();
  EXPECT_EQ(Widget::alive, 0);
  // push_instance with a hook hands the object to the script.
  sqbind::push_instance(v, new Widget, sqbind::tag_of<WidgetTag>(), "Widget", &sqbind::SqClassInfo<Widget>::release);
  EXPECT_EQ(Widget::alive, 1);
  sq_pop(v, 1);
  EXPECT_EQ(Widget::alive, 0);
}

TEST_F(BindTest, PushInstanceOfNullPushesNullAndUnknownClassesThrow)
{
  SQInteger top = sq_gettop(v);
  EXPECT_TRUE(sqbind::push_instance(v, nullptr, sqbind::tag_of<WidgetTag>(), "Widget", nullptr));
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_pop(v, 1);
  int dummy;
  std::string err;
  std::string out = captured([&] {
    try
    {
      sqbind::push_instance(v, &dummy, &dummy, "Nothing", nullptr);
    }
    catch (const SquirrelError &e)
    {
      err = e.text;
    }
  });
  EXPECT_EQ(err, "can't get script class");
  EXPECT_NE(out.find("failed to create Nothing"), std::string::npos);
  EXPECT_EQ(sq_gettop(v), top);
}

TEST_F(BindTest, FunctionHandlesHoldTheirReceiverWeakly)
{
  ASSERT_TRUE(exec(R"(
    class Obj { k = 4; function get(x) { return k * x } }
    holder <- Obj()
    function forget() { holder = null }
  )"));
  SqObject obj;
  sqbind::getSlot(v, sqbind::root_table(v), "holder", obj);
  SqFunc<float> get;
  EXPECT_TRUE(get.lookup(v, obj, "get"));
  obj.release();
  EXPECT_FALSE(get.isNull());
  EXPECT_FLOAT_EQ(get(2.f), 8.f);
  func<void>("forget")();
  EXPECT_TRUE(get.isNull());
  SQInteger top = sq_gettop(v);
  try
  {
    get(1.f);
    FAIL();
  }
  catch (const SquirrelError &e)
  {
    EXPECT_STREQ(e.text, "SqFunc: can't deref weakptr to object");
  }
  EXPECT_EQ(sq_gettop(v), top);
  SqFunc<void> none;
  try
  {
    none();  // a handle without a machine
    FAIL();
  }
  catch (const SquirrelError &e)
  {
    EXPECT_STREQ(e.text, "SqFunc: call of a handle without a script machine");
  }
  EXPECT_FALSE(none.lookup(v, sqbind::root_table(v), "no_such_function"));
  EXPECT_TRUE(none.isNull());
}

TEST_F(BindTest, SlotReads)
{
  ASSERT_TRUE(exec(R"(
    t <- { f = 2, s = "x", v = make_v(1), w = null, inst = Widget(5) }
  )"));
  SqObject t;
  sqbind::getSlot(v, sqbind::root_table(v), "t", t);
  SQInteger top = sq_gettop(v);
  float f = 0;
  sqbind::getSlot(v, t, "f", f);
  EXPECT_EQ(f, 2.f);
  vec4f vv;
  sqbind::getSlot(v, t, "v", vv);
  EXPECT_EQ(v_extract_w(vv), 4.f);
  Widget *w = reinterpret_cast<Widget *>(1);
  sqbind::getSlot(v, t, "w", w);
  EXPECT_EQ(w, nullptr);
  sqbind::getSlot(v, t, "inst", w);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->value, 5.f);
  auto err = [&](auto &out, const char *name) {
    try
    {
      sqbind::getSlot(v, t, name, out);
    }
    catch (const SquirrelError &e)
    {
      return std::string(e.text);
    }
    return std::string();
  };
  EXPECT_EQ(err(f, "s"), "sq_get*() failed (type error)");
  EXPECT_EQ(err(vv, "f"), "getInst: invalid argument type");
  EXPECT_EQ(err(w, "v"), "getInst: invalid argument type");
  std::string out = captured([&] { EXPECT_NE(err(f, "absent"), ""); });
  EXPECT_NE(out.find("getSlot 'absent' failed"), std::string::npos);
  EXPECT_EQ(sq_gettop(v), top);
}

TEST(SqObjectLifetime, HandlesMayOutliveTheirMachine)
{
  HSQUIRRELVM v = open_vm(1024);
  const char *src = "return { a = [1, 2, 3] }";
  ASSERT_TRUE(compile_buffer(v, src, SQInteger(strlen(src)), "t"));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
  SqObject table;
  table.fromStack(v, -1);
  SqObject copy = table, weak;
  weak.assignWeak(table);
  SqFunc<void> f;
  f.lookup(v, table, "a");
  close_vm(v);
  // Destroying these must not touch the freed machine (the sanitizer build checks it).
}
