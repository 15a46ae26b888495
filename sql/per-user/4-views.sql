-- Per-user accounts: the database the program uses holds one view per store table, with the
-- table's name and every column (the invisible ones too, which some statements name), so the
-- program's statements stay as they are. Each view shows the rows the caller may see and, WITH
-- CHECK OPTION, lets a write land only where the caller may see it; it runs as its definer, so
-- users need no rights on the store. Views are made from the store's columns as they are now:
-- after a schema step this file runs again and the views follow.
-- A table without a rule below gets a view that shows administrators only.
-- The server allows no CHECK OPTION, nor inserts, on a view whose condition reads the view's own
-- table: Projects, ProjectMembers and Requirements are judged by the copies vt_membership and
-- vt_outline (1-functions.sql), which get no views.
-- Applied by scripts/setup-db.sh, names replaced as in 1-functions.sql.

-- The conditions, as functions of @DB@ that answer only about the caller. Users may run them
-- (the server checks that when a view is described, as the program's access layer does), so
-- they call the store's functions and return no more than a yes or no the views answer too.
USE `@DB@`;

DELIMITER //

CREATE OR REPLACE FUNCTION vt_sees_all() RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_is_admin()//

CREATE OR REPLACE FUNCTION vt_sees_project(project INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_sees_project(project)//

-- A project's own row: a new one has no id yet when the view checks it, so its manager counts.
CREATE OR REPLACE FUNCTION vt_sees_project_row(manager VARCHAR(400), project INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_is_me(manager) OR `@STORE@`.vt_member(project) OR `@STORE@`.vt_is_admin()//

-- A document's own row: a new one has no id yet either, so its place decides.
CREATE OR REPLACE FUNCTION vt_sees_place(lvl INT, parent INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_sees_project(`@STORE@`.vt_doc_project(lvl, parent)) OR `@STORE@`.vt_is_admin()//

CREATE OR REPLACE FUNCTION vt_sees_document(document INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_sees_document(document)//

-- Read states: one's own, and those of one's own messages' notices.
CREATE OR REPLACE FUNCTION vt_sees_read_state(document INT, n VARCHAR(400), message INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN `@STORE@`.vt_sees_document(document)
   AND (`@STORE@`.vt_is_admin() OR `@STORE@`.vt_is_me(n) OR `@STORE@`.vt_wrote(message))//

DELIMITER ;

GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_all TO '@ROLE@';
GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_project TO '@ROLE@';
GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_project_row TO '@ROLE@';
GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_place TO '@ROLE@';
GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_document TO '@ROLE@';
GRANT EXECUTE ON FUNCTION `@DB@`.vt_sees_read_state TO '@ROLE@';

DELIMITER //

BEGIN NOT ATOMIC
  DECLARE columns_list MEDIUMTEXT;
  DECLARE filter TEXT;
  SET SESSION group_concat_max_len = 1048576;
  FOR t IN (SELECT table_name AS name FROM information_schema.tables
            WHERE table_schema = '@STORE@' AND table_type = 'BASE TABLE' AND table_name NOT LIKE 'vt\_%') DO
    SELECT GROUP_CONCAT('`', REPLACE(column_name, '`', '``'), '`' ORDER BY ordinal_position SEPARATOR ', ')
      INTO columns_list
      FROM information_schema.columns WHERE table_schema = '@STORE@' AND table_name = t.name;
    SET filter = CASE lower(t.name)
      WHEN 'users' THEN 'TRUE'
      WHEN 'global_settings' THEN 'TRUE'
      WHEN 'schema_version' THEN 'TRUE'
      WHEN 'projects' THEN 'vt_sees_project_row(ProjectManager, ProjectID)'
      WHEN 'projectmembers' THEN 'vt_sees_project(ProjectID)'
      WHEN 'catagories' THEN 'vt_sees_project(ProjectID)'
      WHEN 'activity_log' THEN 'vt_sees_project(ProjectID)'
      WHEN 'requirements' THEN 'vt_sees_place(Level, ParentID)'
      WHEN 'req_objects' THEN 'vt_sees_document(RequirementID)'
      WHEN 'req_revisions' THEN 'vt_sees_document(RequirementID)'
      WHEN 'search_body_text' THEN 'vt_sees_document(RequirementID)'
      WHEN 'attachments' THEN 'vt_sees_document(RequirementID)'
      WHEN 'req_messages' THEN 'vt_sees_document(RequirementID)'
      WHEN 'msg_state' THEN 'vt_sees_read_state(RequirementID, username, msgID)'
      ELSE 'vt_sees_all()'
    END;
    EXECUTE IMMEDIATE CONCAT(
      'CREATE OR REPLACE ALGORITHM = MERGE SQL SECURITY DEFINER VIEW `@DB@`.`', REPLACE(t.name, '`', '``'),
      '` AS SELECT ', columns_list, ' FROM `@STORE@`.`', REPLACE(t.name, '`', '``'), '` WHERE ',
      filter, ' WITH CASCADED CHECK OPTION');
  END FOR;
END//

DELIMITER ;
